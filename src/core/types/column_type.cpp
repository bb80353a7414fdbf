#include "types/column_type.hpp"

#include "types/ascii_case.hpp"

namespace brelt {

namespace {

struct TypeName {
    std::string_view word;
    ColumnType type;
};

constexpr TypeName kTypeNames[] = {
    {"int", ColumnType::Int},      {"integer", ColumnType::Int},  {"float", ColumnType::Float},
    {"double", ColumnType::Float}, {"number", ColumnType::Float}, {"bool", ColumnType::Bool},
    {"boolean", ColumnType::Bool}, {"str", ColumnType::Str},      {"string", ColumnType::Str},
};

}  // namespace

std::optional<ColumnType> parse_type_name(std::string_view name) {
    for (const TypeName& entry : kTypeNames) {
        if (equals_ignoring_ascii_case(name, entry.word)) return entry.type;
    }
    return std::nullopt;
}

}  // namespace brelt
