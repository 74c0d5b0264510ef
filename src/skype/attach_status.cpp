#include "skype/attach_status.h"

namespace zorvan {

std::atomic<int>& AttachStatus() {
    static std::atomic<int> status{AttachNotAvailable};
    return status;
}

}  // namespace zorvan
