#pragma once

#include "platform/shell.h"

namespace zorvan {

class QtShell final : public Shell {
public:
    void Open(const std::string& urlOrPath) override;
};

}  // namespace zorvan
