#include "input/utf8_check.hpp"

#include <cstring>
#include <vector>

#include "input/byte_reader.hpp"
#include "input/utf8_validate.hpp"

namespace brelt {

namespace {

constexpr std::size_t kPieceBytes = 1 << 20;

// The end of the complete characters of `bytes`: before a last sequence
// that may be cut short (its lead byte within the last three bytes).
std::size_t complete_prefix(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const std::uint8_t byte = bytes[size - back];
        if ((byte & 0xC0) != 0x80) return (byte & 0x80) == 0 ? size : size - back;
    }
    return size;
}

}  // namespace

Result<bool> file_content_is_utf8(const std::string& path) {
    auto reader = open_byte_reader(path);
    if (!reader.ok()) return std::move(reader).error();
    std::vector<std::uint8_t> buffer(kPieceBytes + 3);
    std::size_t kept = 0;  // the start of a character cut by the last piece
    for (;;) {
        auto got = (*reader)->read({buffer.data() + kept, kPieceBytes});
        // All read so far was valid; what could not be read decides nothing.
        if (!got.ok()) return true;
        const std::size_t size = kept + *got;
        const bool last = *got < kPieceBytes;
        const std::size_t checked = last ? size : complete_prefix(buffer.data(), size);
        if (!is_valid_utf8(buffer.data(), checked)) return false;
        if (last) return true;
        kept = size - checked;
        std::memmove(buffer.data(), buffer.data() + checked, kept);
    }
}

}  // namespace brelt
