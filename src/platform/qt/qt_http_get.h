#pragma once

#include "platform/http_get.h"

namespace zorvan {

// HttpGet over Qt Network. Each call makes its own network access manager
// and event loop on the calling (worker) thread.
class QtHttpGet final : public HttpGet {
public:
    HttpReply Get(const std::string& url, std::int64_t timeoutMs, std::size_t maxBytes,
                  const WaitEvent* cancel = nullptr) override;
};

}  // namespace zorvan
