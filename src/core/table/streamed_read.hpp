// A read whose records are handed out a piece at a time as they are parsed,
// before the end of the file has been seen (iter_csv). What prepare_read
// would otherwise settle from the whole file only at the end -- whether it is
// all valid UTF-8, and without a header how wide its widest record is -- is
// learned first, by passes over the file that keep nothing, so that every
// piece reads exactly as the same records of read_csv.
#pragma once

#include "common/result.hpp"
#include "table/prepare_read.hpp"

namespace brelt {

// prepare_read after those passes (each only when the request leaves it
// open). The widest record is looked for up to the first parse error, whose
// piece then reports it.
Result<PreparedRead> prepare_streamed_read(ReadRequest request);

}  // namespace brelt
