// The integer and float grammars and values, and trimming, against the slow
// references; then what convert_cell makes of the same bytes under every type;
// then column type inference over the input cut into cells at 0xFF bytes,
// against the counting rule written out plainly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cell_text_reference.hpp"
#include "table/column_sample.hpp"
#include "table/parse_table.hpp"
#include "types/cell_text.hpp"
#include "types/convert.hpp"
#include "types/infer.hpp"

namespace {

using namespace brelt;

void check(bool condition) {
    if (!condition) std::abort();
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
                      testing::same_double(real, cell.real));
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

bool is_default_null(std::string_view text) {
    return text.empty() || text == "NA" || text == "null" || text == "None";
}

ColumnType reference_inference(const std::vector<std::string_view>& cells, std::size_t sample) {
    std::uint64_t considered = 0, nulls = 0, integers = 0, floats = 0, booleans = 0;
    for (std::size_t i = 0; i < cells.size() && i < sample; ++i) {
        const std::string_view text = testing::reference_trim(cells[i]);
        ++considered;
        if (is_default_null(text)) {
            ++nulls;
        } else if (testing::reference_integer(text)) {
            ++integers;
        } else if (testing::reference_float(text)) {
            ++floats;
        } else if (parse_boolean_word(text)) {
            ++booleans;
        }
    }
    const std::uint64_t non_null = considered - nulls;
    if (non_null == 0) return ColumnType::Str;
    const auto threshold = static_cast<std::uint64_t>(static_cast<double>(non_null) * 0.95);
    if (integers >= threshold && floats == 0) return ColumnType::Int;
    if (integers + floats >= threshold) return ColumnType::Float;
    if (booleans >= threshold) return ColumnType::Bool;
    return ColumnType::Str;
}

// One quoted cell per record, beside a filler column, parsed as a table.
void check_inference(std::string_view text) {
    std::vector<std::string_view> cells;
    for (std::size_t start = 0; cells.size() < 200;) {
        const std::size_t end = text.find('\xFF', start);
        cells.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    std::string csv;
    for (std::string_view cell : cells) {
        csv += '"';
        for (char byte : cell) {
            if (byte == '"') csv += '"';
            csv += byte;
        }
        csv += "\",x\n";
    }
    TableOptions options;
    options.has_header = false;
    auto parsed =
        parse_table({reinterpret_cast<const std::uint8_t*>(csv.data()), csv.size()}, options);
    check(parsed.ok() && parsed->table->row_count() == cells.size());
    const ParsedTable& table = *parsed->table;
    for (std::size_t row = 0; row < cells.size(); ++row)
        check(table.field(row, 0) == cells[row]);
    static const NullValues nulls = NullValues::defaults();
    for (std::size_t sample : {kInferenceSampleRows, cells.size() / 2}) {
        check(infer_column_type(column_sample(table, 0, sample), nulls) ==
              reference_inference(cells, sample));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check(testing::numbers_disagree(std::string(text)).empty());
    check_cells(text);
    check_inference(text);
    return 0;
}
