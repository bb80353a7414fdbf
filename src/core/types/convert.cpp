#include "types/convert.hpp"

#include <cstdint>

#include "types/cell_text.hpp"

namespace brelt {

namespace {

// Each cell is built whole from plain values, never written field by field
// through a reference: the compiler can then return it in two registers,
// where partial stores read back as one word would stall store forwarding
// (that stall once cost more than the conversion itself).
CellValue make_cell(CellValue::Kind kind) {
    CellValue cell;
    cell.kind = kind;
    return cell;
}

CellValue integer_cell(std::int64_t value) {
    CellValue cell = make_cell(CellValue::Kind::Int);
    cell.integer = value;
    return cell;
}

CellValue float_cell(double value) {
    CellValue cell = make_cell(CellValue::Kind::Float);
    cell.real = value;
    return cell;
}

CellValue boolean_cell(bool value) {
    CellValue cell = make_cell(CellValue::Kind::Bool);
    cell.boolean = value;
    return cell;
}

CellValue string_cell(std::string_view field, std::string_view text) {
    CellValue cell = make_cell(CellValue::Kind::Str);
    cell.text_offset = static_cast<std::uint32_t>(text.data() - field.data());
    cell.text_length = text.size();
    return cell;
}

}  // namespace

CellValue convert_cell(std::string_view field, ColumnType type, const NullValues& nulls) {
    const std::string_view text = trim_text(field);
    if (nulls.matches(text)) return make_cell(CellValue::Kind::None);
    // A text that does not fit the type stays a string, so a stray value never
    // fails a read.
    switch (type) {
        case ColumnType::Int:
            if (std::int64_t value; parse_integer_text(text, value)) return integer_cell(value);
            break;
        case ColumnType::Float:
            if (double value; parse_float_text(text, value)) return float_cell(value);
            break;
        case ColumnType::Bool:
            if (const std::optional<bool> word = parse_boolean_word(text))
                return boolean_cell(*word);
            break;
        case ColumnType::Str:
            break;
    }
    return string_cell(field, text);
}

}  // namespace brelt
