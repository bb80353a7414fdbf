#include "read_options.hpp"

#include "read_schema.hpp"
#include "support/errors.hpp"
#include "table_limits.hpp"
#include "typed_rows.hpp"

namespace brelt::py {

bool read_options(const Signature& signature, PyObject* const* bound, ReadOptions& options) {
    auto argument = [&](ReadParameter p) { return Argument{signature, p, bound[p]}; };
    // Plain booleans and counts refuse None; only the optional ones take it.
    auto passed = [&](ReadParameter p) { return bound[p] != nullptr; };
    ReadRequest& request = options.request;
    request.piece_cells = kCellsPerBlock;
    request.limits = table_limits();

    auto path = to_path(argument(kPath));
    if (!path) return false;
    request.path = std::move(*path);

    auto delimiter = to_optional_string(argument(kDelimiter));
    if (!delimiter) return false;
    if (*delimiter) {
        if ((*delimiter)->empty()) {
            raise(Error(ErrorKind::Value, "delimiter must be a non-empty string"));
            return false;
        }
        request.delimiter = static_cast<std::uint8_t>((**delimiter)[0]);
    }
    if (passed(kHasHeader)) {
        auto has_header = to_bool(argument(kHasHeader));
        if (!has_header) return false;
        request.has_header = *has_header;
    }
    PyObject* schema = nullptr;
    if (argument(kSchema).given()) {
        schema = to_dict(argument(kSchema));
        if (schema == nullptr) return false;
    }
    if (passed(kSkipRows)) {
        auto skip = to_u64(argument(kSkipRows));
        if (!skip) return false;
        request.skip_rows = *skip;
    }
    if (argument(kMaxRows).given()) {
        auto max_rows = to_u64(argument(kMaxRows));
        if (!max_rows) return false;
        request.max_rows = *max_rows;
    }
    if (argument(kColumns).given()) {
        auto columns = to_string_list(argument(kColumns));
        if (!columns) return false;
        request.columns = std::move(*columns);
    }
    if (argument(kNullValues).given()) {
        auto nulls = to_string_list(argument(kNullValues));
        if (!nulls) return false;
        options.null_values = *nulls;
        request.nulls = NullValues(std::move(*nulls));
    }
    auto encoding = to_optional_string(argument(kEncoding));
    if (!encoding) return false;
    request.encoding = std::move(*encoding);
    if (passed(kStrict)) {
        auto strict = to_bool(argument(kStrict));
        if (!strict) return false;
        request.strict = *strict;
    }
    if (argument(kThreads).given()) {
        auto threads = to_u64(argument(kThreads));
        if (!threads) return false;
        options.threads = *threads;
    }
    if (schema != nullptr) {
        auto types = read_schema(schema, signature.function_name());
        if (!types) return false;
        request.schema = std::move(*types);
    }
    return true;
}

}  // namespace brelt::py
