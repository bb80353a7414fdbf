// A byte range of a file read on its own, and what tells that the file is
// still the one a range was chosen in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/result.hpp"
#include "input/byte_reader.hpp"

namespace brelt {

// A file's size and modification time: when either differs, the bytes may
// have changed.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path`. Errors as InputFile::open's;
// anything but a regular file is refused (ErrorKind::Value): its bytes cannot
// be read again at an offset.
Result<FileIdentity> identify_file(const std::string& path);

// "<path> changed since it was partitioned (then ..., now ...)".
Error file_changed_error(const std::string& path, const FileIdentity& then,
                         const FileIdentity& now);

// A reader of bytes [offset, offset + size) of `path`, once the open file is
// found to have the identity `expected`; all of a file is read as
// open_byte_reader reads it (a compressed file decompressed). A file that has
// changed fails with ErrorKind::Value, "<path> changed since it was
// partitioned (...)", when opened or when it turns out shorter.
Result<std::unique_ptr<ByteReader>> open_file_part(const std::string& path, std::uint64_t offset,
                                                   std::uint64_t size,
                                                   const FileIdentity& expected);

}  // namespace brelt
