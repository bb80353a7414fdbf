// Where the csv-style reader's text comes from, pulled as rows are asked for.
//
// An iterable gives its items, each one line exactly as the csv module sees
// it, taken in batches. A file object gives its first record line by line
// (readline), so a reader that returns one row leaves the file right after
// it; after that it is read in blocks, with lines cut at LF, CR LF and a lone
// CR as a file opened with newline="" cuts them, and the file's position
// runs ahead of the rows returned. A file whose lines are cut otherwise
// (newline "\n", "\r" or "\r\n", found by its `newlines` staying None) or
// that cannot seek (a pipe, a terminal, a socket) is read line by line
// instead, as the csv module reads it. A text file over a binary buffer, in
// UTF-8 with strict errors, is read from the buffer directly while that
// provably gives the same text; see first_record_read().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/growable_array.hpp"
#include "support/owned_ref.hpp"
#include "support/python.hpp"

namespace brelt::py {

// What the reader has read and not yet parsed into rows it handed out.
struct InputText {
    GrowableArray<std::uint8_t> bytes;
    // With explicit lines, where each line ends; otherwise empty.
    std::vector<std::uint64_t> line_ends;
    bool explicit_lines = false;
    // bytes[0, checked) may be parsed; the rest is the start of a UTF-8
    // sequence whose end has not been read yet.
    std::size_t checked = 0;
    // Some line held a lone surrogate, in its three-byte form.
    bool surrogates = false;

    // Drops bytes[0, count) and the first `lines` line ends.
    void drop_front(std::size_t count, std::size_t lines);
    void clear() { drop_front(bytes.size(), line_ends.size()); }
};

enum class Pulled : unsigned char {
    Text,    // something was appended
    End,     // the source has nothing more for now
    Failed,  // the source raised (or gave a non-str line): the exception is set
};

class ReaderInput {
  public:
    // `lines`: the iterator the csv module would read; `file`: the same
    // object when it is a file object (it has `read`), else null; `buffer`:
    // the file's binary buffer when the file is a text wrapper that decodes
    // UTF-8 strictly, else null.
    ReaderInput(OwnedRef lines, OwnedRef file, OwnedRef buffer, std::size_t block_size);

    // Appends what comes next; `at_least` bytes when blocks are read (the
    // unfinished record already held may be longer than a block).
    Pulled pull(InputText& text, std::size_t at_least);

    // Whether lines are still read one at a time until the first record.
    bool reading_first_record() const { return mode_ == Mode::FirstLines; }
    // Called when the first record has been read line by line: chooses how
    // the rest of the file is read. False with an exception set when the
    // file raised meanwhile.
    bool first_record_read();

    int traverse(visitproc visit, void* arg);
    void clear();

  private:
    enum class Mode : unsigned char { Lines, FirstLines, TextBlocks, ByteBlocks };

    Pulled pull_lines(InputText& text, std::size_t at_least);
    Pulled pull_first_line(InputText& text);
    Pulled pull_text_block(InputText& text, std::size_t at_least);
    Pulled pull_byte_block(InputText& text, std::size_t at_least);
    // From byte blocks back to the file's own decoding, from the first byte
    // not yet checked on.
    bool fall_back_to_text(InputText& text);
    bool start_byte_blocks();

    OwnedRef lines_;
    OwnedRef file_;
    OwnedRef buffer_;
    std::size_t block_size_;
    Mode mode_;
    bool last_line_ended_ = false;  // the last line read ended with a line break
    bool saw_cr_ending_ = false;    // a line read ended with CR or CR LF
    // Byte blocks: the buffer's position after the last byte read, and
    // whether the file is known to keep CR as it is (newline="").
    std::uint64_t buffer_position_ = 0;
    bool keeps_carriage_returns_ = false;
};

// Appends the str's characters as UTF-8 (lone surrogates in their three-byte
// form), with the interpreter lock released for a long one.
void append_str(PyObject* text, InputText& out);

// Raises the csv-style layer's Error (brelt._error.Error) with `message`.
void raise_csv_error(PyObject* message);

}  // namespace brelt::py
