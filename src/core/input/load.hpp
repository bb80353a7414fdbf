// Bringing a whole input file into memory: small files are read into an owned
// buffer, large ones are mapped read-only so they are never copied. For a
// pass that needs all of a plain file at once (planning partitions); reads
// go through ByteReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "input/input_file.hpp"  // os_error_message

namespace brelt {

// Files of this many bytes or more are mapped instead of read.
inline constexpr std::size_t kMapThreshold = 2'097'152;

// A whole file in memory: an owned buffer, or a read-only shared mapping that
// is unmapped when the object goes. Move-only.
class InputBytes {
  public:
    InputBytes() = default;
    static InputBytes from_buffer(std::vector<std::uint8_t> buffer);
    static InputBytes from_mapping(const std::uint8_t* address, std::size_t size);

    InputBytes(InputBytes&& other) noexcept;
    InputBytes& operator=(InputBytes&& other) noexcept;
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;
    ~InputBytes();

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool is_mapped() const { return mapped_; }
    // Lets the system take back the mapped pages wholly before `offset`,
    // once they have been read for good. A page touched again reads back
    // from the file, so the bytes never change. Nothing for a buffer.
    void drop_pages_before(std::size_t offset) const;

  private:
    void release();

    std::vector<std::uint8_t> buffer_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

// Opens `path` read-only and loads it whole. Errors read as the system's text
// followed by " (os error N)"; a path holding a NUL byte is refused before any
// system call.
Result<InputBytes> load_input_file(const std::string& path);

}  // namespace brelt
