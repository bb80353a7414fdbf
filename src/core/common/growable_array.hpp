// A growable array of trivially copyable elements for the parsing hot paths:
// unlike std::vector it never value-initialises new storage, and it lets a
// loop reserve room once and then append without a capacity check per element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "common/buffer_memory.hpp"

namespace brelt {

template <class T>
class GrowableArray {
    static_assert(std::is_trivially_copyable_v<T>);
    // Capacities are rounded in bytes; a power-of-two element size divides them.
    static_assert((sizeof(T) & (sizeof(T) - 1)) == 0);

  public:
    GrowableArray() = default;
    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;
    GrowableArray(GrowableArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    GrowableArray& operator=(GrowableArray&& other) noexcept {
        if (this != &other) {
            buffer_free(data_, capacity_ * sizeof(T));
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~GrowableArray() { buffer_free(data_, capacity_ * sizeof(T)); }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    // Keeps the storage for the next use.
    void clear() { size_ = 0; }
    void pop_back() { --size_; }
    // Within capacity only: for callers that wrote through data() directly.
    void set_size(std::size_t size) { size_ = size; }

    // Throws std::bad_alloc when memory runs out.
    void reserve(std::size_t capacity) {
        if (capacity <= capacity_) return;
        if (capacity > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        const std::size_t bytes = buffer_capacity_for(capacity * sizeof(T));
        void* grown = buffer_reallocate(data_, capacity_ * sizeof(T), size_ * sizeof(T), bytes);
        if (grown == nullptr) throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = bytes / sizeof(T);
    }

    // Room for `count` more elements; growth doubles so appends stay amortised O(1).
    void reserve_extra(std::size_t count) {
        if (count <= capacity_ - size_) return;
        std::size_t wanted = capacity_ < 4 ? 4 : capacity_ * 2;
        if (wanted - size_ < count) wanted = size_ + count;
        reserve(wanted);
    }

    void push_back(const T& value) {
        reserve_extra(1);
        data_[size_++] = value;
    }
    // Only after reserve_extra has made room.
    void push_unchecked(const T& value) { data_[size_++] = value; }

    void append(const T* values, std::size_t count) {
        reserve_extra(count);
        if (count != 0) std::memcpy(data_ + size_, values, count * sizeof(T));
        size_ += count;
    }

    // Storage past size() that the caller may fill and then commit().
    T* spare() { return data_ + size_; }
    void commit(std::size_t count) { size_ += count; }

  private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace brelt
