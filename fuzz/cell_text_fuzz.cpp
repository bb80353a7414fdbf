// The integer and float grammars and values, and trimming, against the slow
// references; then what convert_cell makes of the same bytes under every type.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "cell_text_reference.hpp"
#include "types/cell_text.hpp"
#include "types/convert.hpp"

namespace {

using namespace brelt;

void check(bool condition) {
    if (!condition) std::abort();
}

bool same_value(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

void check_numbers(std::string_view text) {
    std::int64_t integer = 0;
    const std::optional<std::int64_t> expected_integer = testing::reference_integer(text);
    const bool is_integer = parse_integer_text(text, integer);
    check(is_integer == expected_integer.has_value());
    if (is_integer) check(integer == *expected_integer);

    double real = 0;
    const std::optional<double> expected_real = testing::reference_float(text);
    const bool is_real = parse_float_text(text, real);
    check(is_real == expected_real.has_value());
    if (is_real) check(same_value(real, *expected_real));
    if (is_integer) check(is_real);
}

void check_cells(std::string_view field) {
    static const NullValues nulls = NullValues::defaults();
    const std::string_view trimmed = trim_text(field);
    const std::string_view expected = testing::reference_trim(field);
    check(trimmed.data() == expected.data() && trimmed.size() == expected.size());
    check(trim_text(trimmed) == trimmed);

    for (ColumnType type :
         {ColumnType::Int, ColumnType::Float, ColumnType::Bool, ColumnType::Str}) {
        const CellValue cell = convert_cell(field, type, nulls);
        check((cell.kind == CellValue::Kind::None) == nulls.matches(trimmed));
        std::int64_t integer;
        double real;
        switch (cell.kind) {
            case CellValue::Kind::None:
                break;
            case CellValue::Kind::Int:
                check(type == ColumnType::Int && parse_integer_text(trimmed, integer) &&
                      integer == cell.integer);
                break;
            case CellValue::Kind::Float:
                check(type == ColumnType::Float && parse_float_text(trimmed, real) &&
                      same_value(real, cell.real));
                break;
            case CellValue::Kind::Bool:
                check(type == ColumnType::Bool && parse_boolean_word(trimmed) == cell.boolean);
                break;
            case CellValue::Kind::Str:
                // Inside the field, exactly the trimmed text, and not a value of the type.
                check(cell.text_offset <= field.size() &&
                      cell.text_length <= field.size() - cell.text_offset);
                check(field.data() + cell.text_offset == trimmed.data() &&
                      cell.text_length == trimmed.size());
                if (type == ColumnType::Int) check(!parse_integer_text(trimmed, integer));
                if (type == ColumnType::Float) check(!parse_float_text(trimmed, real));
                if (type == ColumnType::Bool) check(!parse_boolean_word(trimmed));
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check_numbers(text);
    check_cells(text);
    return 0;
}
