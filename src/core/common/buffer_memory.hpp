// Storage for the parse buffers. Small ones come from malloc; large ones are
// mapped on 2 MiB boundaries and marked for transparent huge pages, because
// a parse writes its buffers once from start to end and first-touch page
// faults on small pages can cost more than the parse itself (measured here:
// 1.5 GB/s to fault in fresh memory on 4 KiB pages, 7.5 GB/s on huge pages).
#pragma once

#include <cstddef>

namespace brelt {

// Sizes from here on are mapped; the size is rounded up to 2 MiB.
inline constexpr std::size_t kMappedBufferBytes = std::size_t{4} << 20;

// The capacity in bytes that a request for `bytes` really gets.
std::size_t buffer_capacity_for(std::size_t bytes);

// nullptr when memory runs out. `capacity` values are those from
// buffer_capacity_for; the first `used` bytes survive a reallocation.
void* buffer_allocate(std::size_t capacity);
void* buffer_reallocate(void* data, std::size_t old_capacity, std::size_t used,
                        std::size_t new_capacity);
void buffer_free(void* data, std::size_t capacity);

// Marks the whole huge pages inside [data, data + bytes) for transparent huge
// pages: for memory from another allocator (a std::string's reservation) that
// will be written front to back. Ranges below kMappedBufferBytes are left alone.
void advise_huge_pages(void* data, std::size_t bytes);

}  // namespace brelt
