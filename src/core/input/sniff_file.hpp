// The delimiter guess for a file, from as much of its start as the guess
// looks at: the first 20 lines, read (and decompressed) a piece at a time,
// so the time taken does not grow with the file.
#pragma once

#include <string>

#include "common/result.hpp"

namespace brelt {

// detect_delimiter over the start of the file's text, decoded as a read
// without a label decodes it (the answer is the same for UTF-8 and
// windows-1252, whose candidates and quote are the same ASCII bytes). A file
// with a UTF-16 byte-order mark is checked to its end, so that a malformed
// unit anywhere fails as it does for a read of the whole file. Errors are the
// file's, the decompressor's and the strict UTF-16 decoder's.
Result<char> sniff_file_delimiter(const std::string& path);

}  // namespace brelt
