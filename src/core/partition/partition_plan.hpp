// A partition plan: a file cut into byte ranges that each begin at a record
// start, with everything a typed read fixes decided once for the whole file
// (a ReadPlan: the text encoding, the delimiter, the column keys and types),
// so that each range can be read on its own, in any process, and the
// ranges' rows put together are the rows of the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "input/file_range.hpp"
#include "table/prepare_read.hpp"
#include "table/read_plan.hpp"

namespace brelt {

struct PartitionPlan {
    // The read as asked, with its `plan` set (its schema is spent: the types
    // are in the plan).
    ReadRequest request;
    std::optional<std::vector<std::string>> null_values;  // nullopt: the defaults
    FileIdentity identity;
    // Partition k is [starts[k], starts[k + 1]), the last one up to the end.
    std::vector<std::uint64_t> starts;
    // From the file's first records, for the partitions after the first.
    std::size_t first_record_fields = 0;
    std::vector<std::string> column_names;
    std::vector<std::size_t> selection;

    std::size_t partition_count() const { return starts.size(); }
    std::uint64_t partition_end(std::size_t k) const {
        return k + 1 < starts.size() ? starts[k + 1] : identity.size;
    }
};

struct PartitionTarget {
    std::uint64_t bytes = 0;  // about this many bytes each, when not 0
    std::uint64_t count = 0;  // else at most this many partitions (0 counts as 1)
};

// Plans `request` (its path, its options; `piece_cells` and `plan` are
// ignored) for partitions of about `target`. Errors are those a read of the
// file would meet in its header and first 1,000 data records (without a
// header, anywhere: the names depend on the widest record), plus a file
// that is not a regular file or changes while being planned. `null_values`
// is the list request.nulls was made from, kept for the partitions' reads.
//
// A file is one partition when it cannot be entered at an LF: UTF-16 (by
// label or mark), ISO-2022-JP and "replacement" text, compressed files; and
// when max_rows is given (reading stops after that many rows anyway).
Result<PartitionPlan> plan_partitions(const ReadRequest& request,
                                      std::optional<std::vector<std::string>> null_values,
                                      PartitionTarget target);

// The request that reads partition k of `plan` through prepare_read, with a
// first piece of about `piece_cells` cells.
ReadRequest partition_request(const PartitionPlan& plan, std::size_t k, std::size_t piece_cells);

}  // namespace brelt
