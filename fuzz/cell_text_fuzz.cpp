// The texts behind typing against the slow references of
// cell_text_reference.hpp: number grammars and values, then what convert_cell
// makes of the same bytes under every type, then column type inference over
// the input cut into cells at 0xFF bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cell_text_reference.hpp"
#include "types/infer.hpp"

using namespace brelt;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool ok = testing::numbers_disagree(std::string(text)).empty();
    for (ColumnType type : {ColumnType::Int, ColumnType::Float, ColumnType::Bool, ColumnType::Str})
        ok = ok && testing::cell_matches_reference(text, type);
    std::vector<std::string_view> cells;
    for (std::size_t start = 0; cells.size() < 200;) {
        const std::size_t end = text.find('\xFF', start);
        cells.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    ok = ok &&
         infer_column_type(cells, NullValues::defaults()) == testing::reference_inference(cells);
    if (!ok) std::abort();
    return 0;
}
