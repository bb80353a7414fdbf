// The dialect engine (the csv module's reader) on every path against its
// scalar kernels, at every block edge the pieces make: the text whole, fed in
// pieces and given as explicit lines. The Python suite checks the scalar path
// against the csv module itself (tests/python/test_csv_reader.py).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dialect/dialect_options.hpp"
#include "dialect/parsed_records.hpp"
#include "dialect/record_parser.hpp"

namespace brelt::testing {

// A record as one string: its status and line count, then per field its
// flags (q: quoted, e: escape first), its line, its size and its text.
using DialectEntries = std::vector<std::string>;

// Settings from five bytes (the dialect fuzz target's layout): the
// delimiter, quote and escape characters, the flags and the field limit.
inline dialect::DialectOptions dialect_from_bytes(const std::uint8_t* bytes) {
    // ASCII and multi-byte characters, "é" and "è" sharing their first byte,
    // line breaks (which the csv module of 3.11 takes as settings), and none.
    static const char* const characters[] = {",", ";",  "\t", " ", "\"",
                                             "'", "\\", "é",  "è", "€",
                                             "|", "\n", "\r", "a", "\xF0\x9F\x98\x80",
                                             ""};
    const auto pick = [](std::uint8_t byte) {
        return dialect::DialectChar::of(characters[byte % 16]);
    };
    dialect::DialectOptions o;
    o.delimiter = pick(bytes[0] % 16 == 15 ? 0 : bytes[0]);
    o.quote = pick(bytes[1]);
    o.escape = pick(bytes[2]);
    o.doublequote = bytes[3] & 1;
    o.skipinitialspace = bytes[3] & 2;
    o.strict = bytes[3] & 4;
    o.quotes_are_text = bytes[3] & 8;
    o.record_field_lines = bytes[3] & 16;
    static const std::int64_t limits[] = {131072, 0, 1, 2, 5, 16, -1, 3};
    o.field_limit = limits[bytes[4] % 8];
    return o;
}

// Lines as a file opened with newline="" gives them: each ends after LF,
// after CR LF or after a lone CR; the rest, if any, is the last line.
inline std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, i = 0; i < text.size(); ++i) {
        const bool cr_alone = text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n');
        if (text[i] == '\n' || cr_alone || i + 1 == text.size()) {
            lines.emplace_back(text.substr(start, i + 1 - start));
            start = i + 1;
        }
    }
    return lines;
}

// Random cuts of the text (some of them empty), of up to `most` bytes.
template <class Random>
std::vector<std::string> random_cuts(const std::string& text, Random& rng, std::size_t most) {
    std::vector<std::string> cuts;
    for (std::size_t at = 0; at < text.size(); at += cuts.back().size())
        cuts.push_back(text.substr(at, rng() % 3 == 0 ? 0 : 1 + rng() % most));
    return cuts;
}

// The parser fed as a reader feeds it: `parts` one after another, each parse
// seeing what the previous one left unconsumed followed by the next part, the
// last parse final. With explicit lines every part is one line.
inline DialectEntries parse_in_pieces(const std::vector<std::string>& parts, bool explicit_lines,
                                      const dialect::DialectOptions& options) {
    DialectEntries entries;
    std::string buffer;
    std::vector<std::uint64_t> line_ends;
    for (std::size_t i = 0; i <= parts.size(); ++i) {
        if (i < parts.size()) {
            buffer += parts[i];
            if (explicit_lines) line_ends.push_back(buffer.size());
        }
        const auto* data = reinterpret_cast<const std::uint8_t*>(buffer.data());
        dialect::ParsedRecords out;
        const dialect::ParseProgress progress =
            dialect::parse_records({data, buffer.size(), line_ends.data(), line_ends.size(),
                                    explicit_lines, i == parts.size()},
                                   options, out);
        for (const dialect::RecordEntry& record : out.records) {
            std::string& entry = entries.emplace_back(std::to_string(int(record.status)) + " " +
                                                      std::to_string(record.lines));
            for (std::uint64_t f = record.first_field; f < record.first_field + record.field_count;
                 ++f) {
                const dialect::FieldSpan span = out.fields[f];
                const std::string_view text = out.text(data, span);
                entry += std::string(" ") + (span.quoted() ? "q" : "") +
                         (span.escape_start() ? "e" : "") +
                         std::to_string(options.record_field_lines ? out.field_lines[f] : 0) + ":" +
                         std::to_string(text.size()) + ":" + std::string(text);
            }
        }
        buffer.erase(0, progress.consumed);
        line_ends.erase(line_ends.begin(),
                        line_ends.begin() + static_cast<std::ptrdiff_t>(progress.lines_consumed));
        for (std::uint64_t& end : line_ends)
            end -= progress.consumed;
    }
    return entries;
}

// Empty when every path agrees, else the first that does not. `pieces` and
// `lines` are cuts of `text`; `lines` are given as explicit lines.
inline std::string dialect_paths_disagree(const std::string& text,
                                          const std::vector<std::string>& pieces,
                                          const std::vector<std::string>& lines,
                                          dialect::DialectOptions options) {
    options.isa = Isa::Scalar;
    const auto expected = parse_in_pieces({text}, false, options);
    const auto expected_lines = parse_in_pieces(lines, true, options);
    for (const Isa isa : supported_isas()) {
        options.isa = isa;
        const std::string name(isa_name(isa));
        if (parse_in_pieces({text}, false, options) != expected) return name + ": whole differs";
        if (parse_in_pieces(pieces, false, options) != expected) return name + ": pieces differ";
        if (parse_in_pieces(split_lines(text), true, options) != expected) {
            return name + ": the file's own lines differ";
        }
        if (parse_in_pieces(lines, true, options) != expected_lines) {
            return name + ": explicit lines differ";
        }
    }
    return {};
}

}  // namespace brelt::testing
