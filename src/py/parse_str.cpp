#include "parse_str.hpp"

#include <span>

#include "input/utf8_encode.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "table_limits.hpp"

namespace brelt::py {

namespace {

// The UTF-8 of a str that is not all ASCII, or false (and `out` empty) for a
// lone surrogate.
Result<bool> encode_str(int kind, const void* data, std::size_t length,
                        GrowableArray<std::uint8_t>& out) {
    switch (kind) {
        case PyUnicode_1BYTE_KIND:
            return encode_utf8(std::span(static_cast<const std::uint8_t*>(data), length), out);
        case PyUnicode_2BYTE_KIND:
            return encode_utf8(std::span(static_cast<const std::uint16_t*>(data), length), out);
        default:
            return encode_utf8(std::span(static_cast<const std::uint32_t*>(data), length), out);
    }
}

}  // namespace

std::optional<Result<ParseResult>> parse_str(OwnedRef text, const TableOptions& options) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(text.get()) < 0) return std::nullopt;
#endif
    const TableLimits limits = table_limits();
    const void* data = PyUnicode_DATA(text.get());
    const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(text.get()));
    if (PyUnicode_IS_ASCII(text.get())) {
        return without_gil([&] {
            return parse_table({static_cast<const std::uint8_t*>(data), length}, options, limits);
        });
    }
    const int kind = PyUnicode_KIND(text.get());
    GrowableArray<std::uint8_t> utf8;
    Result<bool> encoded = without_gil([&] { return encode_str(kind, data, length, utf8); });
    if (!encoded) return Result<ParseResult>(std::move(encoded).error());
    if (!*encoded) {
        // The interpreter's encoder words the surrogate's error.
        if (PyUnicode_AsUTF8AndSize(text.get(), nullptr) != nullptr) {
            raise(Error(ErrorKind::Internal, "internal error: a surrogate was not reported"));
        }
        return std::nullopt;
    }
    text = OwnedRef();  // freed before the table is built
    return without_gil([&] { return parse_table({utf8.data(), utf8.size()}, options, limits); });
}

}  // namespace brelt::py
