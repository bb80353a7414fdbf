// How a partition's bytes become the text it is parsed from, decided for the
// whole file exactly as a plain read decides it (see decode_to_utf8): a
// byte-order mark first, then the label, then whether the file is valid
// UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/result.hpp"
#include "partition/partition_plan.hpp"

namespace brelt {

struct TextChoice {
    PartitionTextForm form = PartitionTextForm::Utf8;
    Encoding encoding = Encoding::Utf8;
    // No mark and no label: valid UTF-8 is read in place, anything else as
    // windows-1252 (settle_text_choice).
    bool depends_on_validity = false;
};

// "Unknown encoding: <label>" for a label the table lacks.
Result<TextChoice> choose_text_form(std::span<const std::uint8_t> file_start,
                                    const std::optional<std::string>& label);
void settle_text_choice(TextChoice& choice, bool file_is_valid_utf8);

// A range's text: input bytes from `text_start` on, or `decoded`.
struct RangeText {
    bool in_place = true;
    std::size_t text_start = 0;
    std::string decoded;

    std::span<const std::uint8_t> text(std::span<const std::uint8_t> bytes) const {
        if (in_place) return bytes.subspan(text_start);
        return {reinterpret_cast<const std::uint8_t*>(decoded.data()), decoded.size()};
    }
};

// The text of `bytes`, a range beginning at a record start (the file's
// start when `first`).
Result<RangeText> range_text(std::span<const std::uint8_t> bytes, bool first,
                             PartitionTextForm form, Encoding encoding);

}  // namespace brelt
