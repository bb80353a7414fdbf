#include "common/buffer_memory.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace brelt {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

bool is_mapped(std::size_t capacity) {
    return capacity >= kMappedBufferBytes;
}

// A fresh mapping of `capacity` bytes (a multiple of kHugePage) starting on a
// huge-page boundary.
void* map_aligned(std::size_t capacity) {
    const std::size_t padded = capacity + kHugePage;
    void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const auto aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    // Give back the padding on both sides of the aligned range.
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + capacity;
    const std::uintptr_t end = start + padded;
    if (end > tail) ::munmap(reinterpret_cast<void*>(tail), end - tail);
#if defined(MADV_HUGEPAGE)
    ::madvise(reinterpret_cast<void*>(aligned), capacity, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

std::size_t buffer_capacity_for(std::size_t bytes) {
    if (!is_mapped(bytes)) return bytes;
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

void* buffer_allocate(std::size_t capacity) {
    return is_mapped(capacity) ? map_aligned(capacity) : std::malloc(capacity);
}

void* buffer_reallocate(void* data, std::size_t old_capacity, std::size_t used,
                        std::size_t new_capacity) {
    if (!is_mapped(new_capacity)) return std::realloc(data, new_capacity);
    void* grown = map_aligned(new_capacity);
    if (grown == nullptr) return nullptr;
    if (data == nullptr) return grown;
    if (is_mapped(old_capacity)) {
        // Move the old pages to the front of the new range instead of copying.
        if (::mremap(data, old_capacity, old_capacity, MREMAP_MAYMOVE | MREMAP_FIXED, grown) !=
            MAP_FAILED) {
            return grown;
        }
        std::memcpy(grown, data, used);
        ::munmap(data, old_capacity);
        return grown;
    }
    std::memcpy(grown, data, used);
    std::free(data);
    return grown;
}

void advise_huge_pages(void* data, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    if (bytes < kMappedBufferBytes) return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    // Rounded inwards to huge-page boundaries; clearing the low bits of a
    // power-of-two size rounds down.
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kHugePage - 1);
    // Only advice: where the kernel declines, the pages are simply small.
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

void buffer_free(void* data, std::size_t capacity) {
    if (data == nullptr) return;
    if (is_mapped(capacity)) {
        ::munmap(data, capacity);
    } else {
        std::free(data);
    }
}

}  // namespace brelt
