#include "types/ascii_case.hpp"
#include "types/cell_text.hpp"

namespace brelt {

std::optional<bool> parse_boolean_word(std::string_view text) {
    // The six words come in five lengths, so the length picks the one to compare.
    switch (text.size()) {
        case 1:
            if (text[0] == '1') return true;
            if (text[0] == '0') return false;
            break;
        case 2:
            if (equals_ignoring_ascii_case(text, "no")) return false;
            break;
        case 3:
            if (equals_ignoring_ascii_case(text, "yes")) return true;
            break;
        case 4:
            if (equals_ignoring_ascii_case(text, "true")) return true;
            break;
        case 5:
            if (equals_ignoring_ascii_case(text, "false")) return false;
            break;
    }
    return std::nullopt;
}

}  // namespace brelt
