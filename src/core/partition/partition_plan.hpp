// A partition plan: a file cut into byte ranges that each begin at a record
// start, with everything fixed once for the whole file (the text encoding,
// the delimiter, the header, the column types), so that each range can be
// read on its own, in any process, and the ranges' rows put together are the
// rows of the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "input/encoding/encoding.hpp"
#include "input/file_range.hpp"
#include "table/prepare_read.hpp"
#include "types/column_plan.hpp"

namespace brelt {

// How a partition's bytes become text.
enum class PartitionTextForm : std::uint8_t {
    // One partition, the file read exactly as a plain read reads it: the
    // form for UTF-16, ISO-2022-JP and "replacement", whose bytes cannot be
    // entered at an LF, for compressed files, and for reads limited by
    // max_rows.
    WholeFile = 0,
    // UTF-8 with malformed bytes replaced; a valid range is read in place.
    // The first partition drops a leading byte-order mark.
    Utf8 = 1,
    // Decoded with `encoding`, an ASCII-compatible encoding in which '"' and
    // LF never occur inside a multi-byte character, so that decoding ranges
    // cut after an LF gives the pieces of the whole file's text.
    Decoded = 2,
};

struct PartitionPlan {
    // The read as asked (the schema is spent: its types are in `columns`),
    // with the delimiter as detected.
    ReadRequest request;
    std::optional<std::vector<std::string>> null_values;  // nullopt: the defaults
    FileIdentity identity;
    // Partition k is [starts[k], starts[k + 1]), the last one up to the end.
    std::vector<std::uint64_t> starts;
    PartitionTextForm text_form = PartitionTextForm::Utf8;
    Encoding encoding = Encoding::Utf8;  // for Decoded
    // From the file's first records: what later partitions are read with.
    std::size_t first_record_fields = 0;
    std::vector<std::string> column_names;
    std::vector<std::size_t> selection;
    // The output columns, fixed for every partition.
    std::vector<std::string> keys;
    std::vector<ColumnPlan> columns;

    std::size_t partition_count() const { return starts.size(); }
    std::uint64_t partition_end(std::size_t k) const {
        return k + 1 < starts.size() ? starts[k + 1] : identity.size;
    }
};

struct PartitionTarget {
    std::uint64_t bytes = 0;  // about this many bytes each, when not 0
    std::uint64_t count = 0;  // else at most this many partitions (0 counts as 1)
};

// Plans `request` (its path, its options; `piece_cells` is ignored) for
// partitions of about `target`. Errors are those a read of the file would
// meet in its header, its first 1,000 data records (and, without a header,
// anywhere: the names depend on the widest record), plus a file that is not
// a regular file or changes while being planned. `null_values` is the list
// request.nulls was made from, kept for the partitions' reads.
Result<PartitionPlan> plan_partitions(const ReadRequest& request,
                                      std::optional<std::vector<std::string>> null_values,
                                      PartitionTarget target);

// Opens partition k of `plan` for a typed read with the plan's columns,
// parsing a first piece of about `piece_cells` cells (see prepare_read).
// Fails when the file's size or modification time differ from the plan's.
Result<PreparedRead> open_partition(const PartitionPlan& plan, std::size_t k,
                                    std::size_t piece_cells);

}  // namespace brelt
