#include "audio/buffer.h"

#include <cstring>
#include <new>

namespace zorvan::audio {

CBuffer::CBuffer(std::int32_t size) {
    data = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]();
    if (data != nullptr) {
        this->size = size;
        ownsData = true;
    }
}

CBuffer::CBuffer(std::uint8_t* data, std::int32_t size) : data(data), size(size), ownsData(false) {}

CBuffer::~CBuffer() {
    if (ownsData) delete[] data;
}

namespace {
bool ByAddress(const CBuffer* a, const CBuffer* b) { return a->data < b->data; }
}  // namespace

BufferPool::BufferPool() : free_(ByAddress) {
    std::lock_guard lock(mutex_);
    // One block for the first 1024 buffers: their addresses rise with their order.
    auto block = std::make_unique<std::uint8_t[]>(kInitialBuffers * kBufferBytes);
    for (std::size_t i = 0; i < kInitialBuffers; ++i) {
        all_.push_back(std::make_unique<CBuffer>(block.get() + i * kBufferBytes, kBufferBytes));
        free_.insert(all_.back().get());
    }
    memory_.push_back(std::move(block));
}

BufferPool::~BufferPool() {
    std::lock_guard lock(mutex_);
    free_.clear();
    all_.clear();
    memory_.clear();
}

CBuffer* BufferPool::CreateLocked() {
    auto bytes = std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[kBufferBytes]());
    if (!bytes) return nullptr;
    all_.push_back(std::make_unique<CBuffer>(bytes.get(), kBufferBytes));
    memory_.push_back(std::move(bytes));
    return all_.back().get();
}

CBuffer* BufferPool::Acquire() {
    std::lock_guard lock(mutex_);
    if (free_.empty()) return CreateLocked();
    CBuffer* buffer = *free_.begin();
    free_.erase(free_.begin());
    return buffer;
}

void BufferPool::Release(CBuffer* buffer) {
    if (buffer == nullptr) return;
    std::memset(buffer->data, 0, static_cast<std::size_t>(buffer->size));
    std::lock_guard lock(mutex_);
    free_.insert(buffer);
}

std::size_t BufferPool::Created() const {
    std::lock_guard lock(mutex_);
    return all_.size();
}

std::size_t BufferPool::Free() const {
    std::lock_guard lock(mutex_);
    return free_.size();
}

}  // namespace zorvan::audio
