// A byte range of a file read on its own, and what tells that the file is
// still the one a range was chosen in.
#pragma once

#include <cstdint>
#include <string>

#include "common/result.hpp"
#include "input/load.hpp"

namespace brelt {

// A file's size and modification time: when either differs, the bytes may
// have changed.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path`. Errors as load_input_file's;
// anything but a regular file is refused (ErrorKind::Value): its bytes cannot
// be read again at an offset.
Result<FileIdentity> identify_file(const std::string& path);

// "<path> changed since it was partitioned (then ..., now ...)".
Error file_changed_error(const std::string& path, const FileIdentity& then,
                         const FileIdentity& now);

// Bytes [offset, offset + size) of `path`, once the open file is found to
// have the identity `expected`. A file that has changed fails with
// ErrorKind::Value, "<path> changed since it was partitioned (...)".
Result<InputBytes> load_file_range(const std::string& path, std::uint64_t offset,
                                   std::uint64_t size, const FileIdentity& expected);

}  // namespace brelt
