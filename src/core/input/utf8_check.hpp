// Whether a file's whole content is valid UTF-8, found by reading it once a
// piece at a time, keeping nothing.
#pragma once

#include <string>

#include "common/result.hpp"

namespace brelt {

// The content is decompressed when the file is compressed. Stops at the first
// invalid piece. Errors are those of opening the file; content that cannot
// be read to its end (corrupt, cut short) is judged by what could be read,
// and a read after this check meets the same error where it lies.
Result<bool> file_content_is_utf8(const std::string& path);

}  // namespace brelt
