// Fuzz target: whatever the publisher's site answers for its version text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/http_get.h"
#include "update/update_check.h"

namespace {
struct Reply final : zorvan::HttpGet {
    std::string body;
    int status = 200;
    zorvan::HttpReply Get(const std::string&, std::int64_t, std::size_t maxBytes, const zorvan::WaitEvent*) override {
        return {true, status, body.substr(0, maxBytes)};
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reply http;
    http.body.assign(reinterpret_cast<const char*>(data), size);
    const int result = zorvan::UpdateCheck(http, "http://127.0.0.1:9/");
    if (result != zorvan::UpdateNoVersion && result != zorvan::UpdateCurrent && result != zorvan::UpdateAvailable) {
        std::abort();
    }
    return 0;
}
