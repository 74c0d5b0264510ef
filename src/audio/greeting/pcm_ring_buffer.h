#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvan::audio {

// 0.6 s of the stream format between MP3 blocks and 320-byte sends. A write
// that does not fit is refused whole; a read takes exactly n bytes or none.
class PcmRingBuffer {
public:
    static constexpr std::size_t kCapacity = 19200;

    bool Write(const std::uint8_t* bytes, std::size_t n);
    bool Read(std::uint8_t* into, std::size_t n);
    void Reset();

    std::size_t length() const { return length_; }
    bool empty() const { return empty_; }
    bool full() const { return full_; }

private:
    std::uint8_t bytes_[kCapacity] = {};
    std::size_t length_ = 0;
    std::size_t readAt_ = 0;
    std::size_t writeAt_ = 0;
    bool empty_ = true;
    bool full_ = false;
};

}  // namespace zorvan::audio
