#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvan {

// What a GET request brought back.
struct HttpReply {
    bool reached = false;  // an answer came (any status); false: no connection, refused, timed out
    int status = 0;        // the HTTP status when reached
    std::string body;      // at most the bytes asked for
};

class WaitEvent;

// A plain HTTP GET, blocking, for worker threads. An implementation gives
// up after `timeoutMs`, or soon after `cancel` is set, so the thread that
// asked can always be joined.
class HttpGet {
public:
    virtual ~HttpGet() = default;
    virtual HttpReply Get(const std::string& url, std::int64_t timeoutMs, std::size_t maxBytes,
                          const WaitEvent* cancel = nullptr) = 0;
};

}  // namespace zorvan
