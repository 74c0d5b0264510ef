#include "data/xml_memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>

#include <pugixml.hpp>

namespace zorvan {

namespace {

constexpr std::size_t kChunk = std::size_t{16} << 20;  // a multiple of the 2 MiB huge page
constexpr std::size_t kAlign = 16;

struct Chunk {
    std::size_t size = 0;  // of the whole mapping
    std::size_t used = 0;
    std::size_t live = 0;  // allocations not yet freed
};

// Every block starts with the chunk it came from.
struct alignas(kAlign) Header {
    Chunk* chunk;
};

std::mutex gMutex;
Chunk* gCurrent = nullptr;

Chunk* MapChunk(std::size_t size) {
    void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    ::madvise(memory, size, MADV_HUGEPAGE);
    auto* chunk = new (memory) Chunk;
    chunk->size = size;
    chunk->used = (sizeof(Chunk) + kAlign - 1) / kAlign * kAlign;
    return chunk;
}

void Unmap(Chunk* chunk) { ::munmap(chunk, chunk->size); }

void* Allocate(std::size_t size) {
    const std::size_t need = (sizeof(Header) + size + kAlign - 1) / kAlign * kAlign;
    std::lock_guard lock(gMutex);
    Chunk* chunk = nullptr;
    if (need > kChunk / 4) {
        chunk = MapChunk((sizeof(Chunk) + kAlign + need + 4095) / 4096 * 4096);  // a block of its own
    } else {
        if (gCurrent == nullptr || gCurrent->used + need > gCurrent->size) {
            if (gCurrent != nullptr && gCurrent->live == 0) Unmap(gCurrent);
            gCurrent = MapChunk(kChunk);
        }
        chunk = gCurrent;
    }
    if (chunk == nullptr) return nullptr;
    auto* header = reinterpret_cast<Header*>(reinterpret_cast<char*>(chunk) + chunk->used);
    chunk->used += need;
    ++chunk->live;
    header->chunk = chunk;
    return header + 1;
}

void Deallocate(void* block) {
    if (block == nullptr) return;
    Chunk* chunk = (static_cast<Header*>(block) - 1)->chunk;
    std::lock_guard lock(gMutex);
    if (--chunk->live == 0 && chunk != gCurrent) Unmap(chunk);
}

}  // namespace

void UseLargePagesForXml() {
    static std::once_flag once;
    std::call_once(once, [] {
        pugi::set_memory_management_functions(Allocate, Deallocate);
        // A serialised campaign is tens of megabytes: blocks that large come
        // from the kernel and go back to it when freed, rather than staying
        // in a heap that a campaign's small strings keep from shrinking.
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
    });
}

}  // namespace zorvan
