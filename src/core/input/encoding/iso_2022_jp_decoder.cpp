// The ISO-2022-JP decoder. Escape sequences switch between ASCII, JIS-Roman,
// half-width katakana and jis0208 pairs.
//
// The standard's machine also has escape and trailing-byte states, and an
// "output state" to fall back to when an escape fails. Looking ahead at the
// escape or pair as a whole makes those states transient, so one state is
// kept here and a failed escape simply leaves it unchanged.
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/index_jis0208.hpp"
#include "input/encoding/multi_byte_cursor.hpp"

namespace brelt::encoding_detail {
namespace {

constexpr std::uint8_t kEscape = 0x1B;

enum class Mode : unsigned char { Ascii, Roman, Katakana, Jis0208 };

class Iso2022JpDecoder {
  public:
    void operator()(MultiByteCursor& c) {
        const std::uint8_t byte = c.byte(0);
        if (byte == kEscape) return escape(c);
        // Anything but an escape ends the run of escapes with nothing between them.
        between_escapes_ = false;
        switch (mode_) {
            case Mode::Ascii:
                if (is_ascii(byte) && byte != 0x0E && byte != 0x0F) return c.emit(byte, 1);
                return c.error(1);
            case Mode::Roman:
                if (byte == 0x5C) return c.emit(0x00A5, 1);
                if (byte == 0x7E) return c.emit(0x203E, 1);
                if (is_ascii(byte) && byte != 0x0E && byte != 0x0F) return c.emit(byte, 1);
                return c.error(1);
            case Mode::Katakana:
                if (in_range(byte, 0x21, 0x5F)) return c.emit(0xFF61 - 0x21 + byte, 1);
                return c.error(1);
            case Mode::Jis0208:
                return pair(c, byte);
        }
    }

  private:
    static void pair(MultiByteCursor& c, std::uint8_t lead) {
        if (!in_range(lead, 0x21, 0x7E) || !c.has(1)) return c.error(1);
        const std::uint8_t trail = c.byte(1);
        // An escape cuts the pair short: one error, and the escape is read next.
        if (trail == kEscape) return c.error(1);
        if (!in_range(trail, 0x21, 0x7E)) return c.error(2);
        const std::uint16_t code_point = kJis0208Index[(lead - 0x21) * 94 + (trail - 0x21)];
        if (code_point == 0) return c.error(2);
        c.emit(code_point, 2);
    }

    // ESC ( B, ESC ( J, ESC ( I, ESC $ @, ESC $ B switch modes. Anything else
    // is one error for the ESC alone; the bytes after it are read again in
    // the mode that was in force.
    void escape(MultiByteCursor& c) {
        if (c.has(2)) {
            const std::uint8_t intermediate = c.byte(1);
            const std::uint8_t final_byte = c.byte(2);
            bool known = true;
            Mode next = mode_;
            if (intermediate == 0x28 && final_byte == 0x42) {
                next = Mode::Ascii;
            } else if (intermediate == 0x28 && final_byte == 0x4A) {
                next = Mode::Roman;
            } else if (intermediate == 0x28 && final_byte == 0x49) {
                next = Mode::Katakana;
            } else if (intermediate == 0x24 && (final_byte == 0x40 || final_byte == 0x42)) {
                next = Mode::Jis0208;
            } else {
                known = false;
            }
            if (known) {
                mode_ = next;
                // Two escapes in a row with nothing decoded between them are an
                // error: they could hide content from a filter that ignores them.
                const bool was_between = between_escapes_;
                between_escapes_ = true;
                return was_between ? c.error(3) : c.skip(3);
            }
        }
        between_escapes_ = false;
        c.error(1);
    }

    Mode mode_ = Mode::Ascii;
    // The standard's "ISO-2022-JP output" flag.
    bool between_escapes_ = false;
};

}  // namespace

std::size_t decode_iso_2022_jp(std::span<const std::uint8_t> bytes, std::string& out) {
    return MultiByteCursor(bytes).decode_into(out, Iso2022JpDecoder{});
}

}  // namespace brelt::encoding_detail
