// Picks the decoder for an encoding. The legacy multi-byte encodings fail
// rather than decode through anything approximate.
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/single_byte_indexes.hpp"

namespace brelt {

Result<std::size_t> decode_with(Encoding encoding, std::span<const std::uint8_t> bytes,
                                std::string& out) {
    using namespace encoding_detail;
    switch (encoding) {
        case Encoding::Utf8:
            return decode_utf8(bytes, out);
        case Encoding::Utf16BE:
            return decode_utf16(bytes, /*big_endian=*/true, out);
        case Encoding::Utf16LE:
            return decode_utf16(bytes, /*big_endian=*/false, out);
        case Encoding::Replacement:
            return decode_replacement(bytes, out);
        case Encoding::XUserDefined:
            return decode_x_user_defined(bytes, out);
        case Encoding::Gbk:
        case Encoding::Gb18030:
        case Encoding::Big5:
        case Encoding::EucJp:
        case Encoding::Iso2022Jp:
        case Encoding::ShiftJis:
        case Encoding::EucKr:
            return Error(ErrorKind::Value,
                         "Encoding not supported yet: " + std::string(encoding_name(encoding)));
        default:
            break;
    }
    if (encoding >= kFirstSingleByte && encoding <= kLastSingleByte) {
        return decode_single_byte(encoding, bytes, out);
    }
    return Error(ErrorKind::Internal, "decode_with: no such encoding");
}

}  // namespace brelt
