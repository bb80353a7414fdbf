// The text of a Python str parsed into a table with the interpreter lock
// released. The str is held and immutable, so its characters stay put
// meanwhile. An ASCII str is its own UTF-8; any other is encoded here rather
// than by the interpreter, whose encoder is slower and keeps its copy in the
// str, and the str is dropped before the parse, so it and the table are never
// in memory together.
#pragma once

#include <optional>

#include "support/owned_ref.hpp"
#include "support/python.hpp"
#include "table/parse_table.hpp"

namespace brelt::py {

// The parse's result, or nullopt with the interpreter's UnicodeEncodeError
// when the str holds a lone surrogate.
std::optional<Result<ParseResult>> parse_str(OwnedRef text, const TableOptions& options);

}  // namespace brelt::py
