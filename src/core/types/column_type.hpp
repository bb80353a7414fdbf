// The column types of a typed read, and the names a caller's schema may use.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brelt {

enum class ColumnType : std::uint8_t { Int = 0, Float = 1, Bool = 2, Str = 3 };

// "int"/"integer", "float"/"double"/"number", "bool"/"boolean", "str"/"string",
// in any letter case; nothing for any other name.
std::optional<ColumnType> parse_type_name(std::string_view name);

}  // namespace brelt
