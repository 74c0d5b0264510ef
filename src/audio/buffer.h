#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace zorvan::audio {

// A block of audio bytes: owned (allocated here) or a view on memory that
// belongs to someone else (a receive buffer, a pool).
class CBuffer {
public:
    explicit CBuffer(std::int32_t size);                 // owns `size` zeroed bytes
    CBuffer(std::uint8_t* data, std::int32_t size);      // a view
    virtual ~CBuffer();
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;

    std::uint8_t* data = nullptr;
    std::int32_t size = 0;
    bool ownsData = false;
};

// Ready 320-byte buffers for one direction of a recording, so the real-time
// path does not allocate: 1024 at the start (10.24 s), more only when all
// are in use; the lowest address is handed out first; released buffers come
// back zero-filled.
class BufferPool {
public:
    static constexpr std::size_t kInitialBuffers = 1024;
    static constexpr std::int32_t kBufferBytes = 320;

    BufferPool();
    ~BufferPool();
    BufferPool(const BufferPool&) = delete;
    BufferPool& operator=(const BufferPool&) = delete;

    CBuffer* Acquire();
    void Release(CBuffer* buffer);
    std::size_t Created() const;
    std::size_t Free() const;

private:
    CBuffer* CreateLocked();

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<std::uint8_t[]>> memory_;
    std::vector<std::unique_ptr<CBuffer>> all_;
    std::set<CBuffer*, bool (*)(const CBuffer*, const CBuffer*)> free_;
};

}  // namespace zorvan::audio
