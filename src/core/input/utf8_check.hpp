// Whether a file's whole content is valid UTF-8, found by reading it once a
// piece at a time, keeping nothing.
#pragma once

#include <string>

#include "common/result.hpp"

namespace brelt {

// The content is decompressed when the file is compressed. Stops at the first
// invalid piece. Errors as ByteReader::read.
Result<bool> file_content_is_utf8(const std::string& path);

}  // namespace brelt
