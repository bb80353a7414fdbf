#include "table/rename_columns.hpp"

#include <new>

namespace brelt {

// The one place outside the parse that builds a table.
class TableCopier {
  public:
    static Result<TableRef> copy(const ParsedTable& source, std::vector<std::string> names) {
        try {
            auto* target = new ParsedTable();
            // Owned from here on, so a failed copy below releases it.
            TableRef copy = TableRef::adopt(target);
            target->text_.append(source.text_.data(), source.text_.size());
            target->bounds_.append(source.bounds_.data(), source.bounds_.size());
            target->rows_.append(source.rows_.data(), source.rows_.size());
            target->column_names_ = std::move(names);
            return copy;
        } catch (const std::bad_alloc&) {
            return Error(ErrorKind::Memory, "alloc");
        }
    }
};

Result<TableRef> with_column_names(const ParsedTable& table, std::vector<std::string> names) {
    return TableCopier::copy(table, std::move(names));
}

}  // namespace brelt
