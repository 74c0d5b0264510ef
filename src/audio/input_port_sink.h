#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvan::audio {

// Where greeting audio goes: the Skype client's call input, reached through
// the input port's first client.
class InputPortSink {
public:
    virtual ~InputPortSink() = default;
    // False when the bytes were not sent (no client, or the previous bytes
    // still on their way).
    virtual bool SendToInputPort(const std::uint8_t* data, std::size_t length) = 0;
};

}  // namespace zorvan::audio
