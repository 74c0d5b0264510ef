#include "audio/greeting/pcm_ring_buffer.h"

#include <cstring>

namespace zorvan::audio {

bool PcmRingBuffer::Write(const std::uint8_t* bytes, std::size_t n) {
    if (length_ >= kCapacity || length_ + n > kCapacity) return false;
    const std::size_t first = n < kCapacity - writeAt_ ? n : kCapacity - writeAt_;
    std::memcpy(bytes_ + writeAt_, bytes, first);
    std::memcpy(bytes_, bytes + first, n - first);
    length_ += n;
    writeAt_ = (writeAt_ + n) % kCapacity;
    if (length_ == kCapacity) full_ = true;
    empty_ = false;
    return true;
}

bool PcmRingBuffer::Read(std::uint8_t* into, std::size_t n) {
    if (empty_ || length_ < n) return false;
    const std::size_t first = n < kCapacity - readAt_ ? n : kCapacity - readAt_;
    std::memcpy(into, bytes_ + readAt_, first);
    std::memcpy(into + first, bytes_, n - first);
    length_ -= n;
    readAt_ = (readAt_ + n) % kCapacity;
    if (length_ == 0) {
        empty_ = true;
        full_ = false;
    } else if (length_ < kCapacity) {
        full_ = false;
    }
    return true;
}

void PcmRingBuffer::Reset() {
    length_ = readAt_ = writeAt_ = 0;
    empty_ = true;
    full_ = false;
}

}  // namespace zorvan::audio
