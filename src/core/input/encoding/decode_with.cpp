// Picks the decoder for an encoding.
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
            return decode_gb18030(bytes, out);
        case Encoding::Big5:
            return decode_big5(bytes, out);
        case Encoding::EucJp:
            return decode_euc_jp(bytes, out);
        case Encoding::Iso2022Jp:
            return decode_iso_2022_jp(bytes, out);
        case Encoding::ShiftJis:
            return decode_shift_jis(bytes, out);
        case Encoding::EucKr:
            return decode_euc_kr(bytes, out);
        default:
            break;
    }
    if (encoding >= kFirstSingleByte && encoding <= kLastSingleByte) {
        return decode_single_byte(encoding, bytes, out);
    }
    return Error(ErrorKind::Internal, "decode_with: no such encoding");
}

}  // namespace brelt
