#include "reader_input.hpp"

#include <time.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "input/utf8_encode.hpp"
#include "input/utf8_validate.hpp"
#include "support/gil.hpp"

namespace brelt::py {

namespace {

// A batch of lines from a slow source stops once pulling has taken this
// long, so each row comes about when its line does.
constexpr std::uint64_t kPullMilliseconds = 10;
// Longer text is encoded to UTF-8 with the interpreter lock released.
constexpr Py_ssize_t kEncodeWithoutLock = 1 << 16;

// A clock that costs a few nanoseconds; its steps of a few milliseconds are
// fine enough here.
std::uint64_t coarse_milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

PyObject* interned(const char* name) {
    return PyUnicode_InternFromString(name);
}

PyObject* call(PyObject* object, PyObject* name) {
    if (name == nullptr) return nullptr;
    return PyObject_CallMethodNoArgs(object, name);
}

PyObject* call_with_size(PyObject* object, PyObject* name, std::size_t size) {
    if (name == nullptr) return nullptr;
    OwnedRef argument = OwnedRef::steal(PyLong_FromSize_t(size));
    if (!argument) return nullptr;
    return PyObject_CallMethodOneArg(object, name, argument.get());
}

// The csv module's error for a line that is not a str.
void not_a_str(PyObject* line) {
    OwnedRef message =
        OwnedRef::steal(PyUnicode_FromFormat("iterator should return strings, not %.200s "
                                             "(the file should be opened in text mode)",
                                             Py_TYPE(line)->tp_name));
    if (message) raise_csv_error(message.get());
}

// Only an ordinary exception means "this cannot be found out"; anything
// else (KeyboardInterrupt, MemoryError) stays raised.
bool clear_ordinary_exception() {
    if (!PyErr_ExceptionMatches(PyExc_Exception) || PyErr_ExceptionMatches(PyExc_MemoryError)) {
        return false;
    }
    PyErr_Clear();
    return true;
}

bool ends_with_line_break(PyObject* line) {
    const Py_ssize_t length = PyUnicode_GET_LENGTH(line);
    if (length == 0) return false;
    const Py_UCS4 last = PyUnicode_READ_CHAR(line, length - 1);
    return last == '\n' || last == '\r';
}

bool ends_with_carriage_return(PyObject* line) {
    const Py_ssize_t length = PyUnicode_GET_LENGTH(line);
    const Py_UCS4 last = length > 0 ? PyUnicode_READ_CHAR(line, length - 1) : 0;
    const Py_UCS4 before = length > 1 ? PyUnicode_READ_CHAR(line, length - 2) : 0;
    return last == '\r' || (last == '\n' && before == '\r');
}

// The length of the longest prefix of data[0, size) that does not end inside
// a UTF-8 sequence: a lead byte among the last three whose sequence runs past
// the end starts the tail left for the next read.
std::size_t without_cut_sequence(const std::uint8_t* data, std::size_t size) {
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const std::uint8_t byte = data[size - back];
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

}  // namespace

void InputText::drop_front(std::size_t count, std::size_t lines) {
    const std::size_t rest = bytes.size() - count;
    if (rest != 0 && count != 0) std::memmove(bytes.data(), bytes.data() + count, rest);
    bytes.set_size(rest);
    checked -= std::min(checked, count);
    line_ends.erase(line_ends.begin(), line_ends.begin() + static_cast<std::ptrdiff_t>(lines));
    for (std::uint64_t& end : line_ends)
        end -= count;
    if (bytes.empty()) surrogates = false;
}

void append_str(PyObject* text, InputText& out) {
    const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
    const void* data = PyUnicode_DATA(text);
    const auto size = static_cast<std::size_t>(length);
    if (PyUnicode_IS_ASCII(text)) {
        out.bytes.append(static_cast<const std::uint8_t*>(data), size);
    } else {
        const int kind = PyUnicode_KIND(text);
        const auto encode = [&] {
            switch (kind) {
                case PyUnicode_1BYTE_KIND:
                    return append_utf8_passing_surrogates(
                        std::span(static_cast<const std::uint8_t*>(data), size), out.bytes);
                case PyUnicode_2BYTE_KIND:
                    return append_utf8_passing_surrogates(
                        std::span(static_cast<const std::uint16_t*>(data), size), out.bytes);
                default:
                    return append_utf8_passing_surrogates(
                        std::span(static_cast<const std::uint32_t*>(data), size), out.bytes);
            }
        };
        // The str is held and immutable, so its characters stay put.
        const bool surrogates = length >= kEncodeWithoutLock ? without_gil(encode) : encode();
        out.surrogates = out.surrogates || surrogates;
    }
    out.checked = out.bytes.size();
}

void raise_csv_error(PyObject* message) {
    OwnedRef module = OwnedRef::steal(PyImport_ImportModule("brelt._error"));
    OwnedRef error =
        OwnedRef::steal(module ? PyObject_GetAttrString(module.get(), "Error") : nullptr);
    if (error) PyErr_SetObject(error.get(), message);
}

ReaderInput::ReaderInput(OwnedRef lines, OwnedRef file, OwnedRef buffer, std::size_t block_size)
    : lines_(std::move(lines)),
      file_(std::move(file)),
      buffer_(std::move(buffer)),
      block_size_(block_size),
      mode_(Mode::Lines) {
    if (file_) {
        // Without readline, the lines of the first record cannot be read
        // one by one: blocks from the start.
        const int has_readline = PyObject_HasAttrString(file_.get(), "readline");
        mode_ = has_readline ? Mode::FirstLines : Mode::TextBlocks;
    }
}

Pulled ReaderInput::pull(InputText& text, std::size_t at_least) {
    if (!lines_) return Pulled::End;  // cleared by the collector
    switch (mode_) {
        case Mode::Lines:
            return pull_lines(text, at_least);
        case Mode::FirstLines:
            return pull_first_line(text);
        case Mode::TextBlocks:
            return pull_text_block(text, at_least);
        case Mode::ByteBlocks:
            return pull_byte_block(text, at_least);
    }
    return Pulled::End;
}

Pulled ReaderInput::pull_lines(InputText& text, std::size_t at_least) {
    text.explicit_lines = true;
    const std::size_t start_size = text.bytes.size();
    const std::uint64_t start = coarse_milliseconds();
    for (bool pulled = false;; pulled = true) {
        PyObject* item = PyIter_Next(lines_.get());
        if (item == nullptr) {
            if (PyErr_Occurred()) return Pulled::Failed;
            return pulled ? Pulled::Text : Pulled::End;
        }
        OwnedRef line = OwnedRef::steal(item);
        if (!PyUnicode_Check(item)) {
            not_a_str(item);
            return Pulled::Failed;
        }
        append_str(item, text);
        text.line_ends.push_back(text.bytes.size());
        if (text.bytes.size() - start_size >= at_least ||
            coarse_milliseconds() - start >= kPullMilliseconds) {
            return Pulled::Text;
        }
    }
}

Pulled ReaderInput::pull_first_line(InputText& text) {
    text.explicit_lines = true;
    static PyObject* const readline = interned("readline");
    OwnedRef line = OwnedRef::steal(call(file_.get(), readline));
    if (!line) return Pulled::Failed;
    if (!PyUnicode_Check(line.get())) {
        not_a_str(line.get());
        return Pulled::Failed;
    }
    if (PyUnicode_GET_LENGTH(line.get()) == 0) return Pulled::End;
    append_str(line.get(), text);
    text.line_ends.push_back(text.bytes.size());
    last_line_ended_ = ends_with_line_break(line.get());
    saw_cr_ending_ = saw_cr_ending_ || ends_with_carriage_return(line.get());
    return Pulled::Text;
}

bool ReaderInput::first_record_read() {
    // A last line without a line break is the end of the file (for now):
    // nothing is known about how it cuts lines, and nothing is lost by
    // reading lines one by one a little longer.
    if (mode_ != Mode::FirstLines || !last_line_ended_) return true;
    mode_ = Mode::Lines;
    // A file that cuts lines at one line break only never fills `newlines`.
    static PyObject* const newlines_name = interned("newlines");
    if (newlines_name == nullptr) return false;
    OwnedRef newlines = OwnedRef::steal(PyObject_GetAttr(file_.get(), newlines_name));
    if (!newlines) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return clear_ordinary_exception();
        PyErr_Clear();  // a file object of its own kind: taken as newline=""
    } else if (newlines.get() == Py_None) {
        return true;
    }
    static PyObject* const seekable_name = interned("seekable");
    OwnedRef seekable = OwnedRef::steal(call(file_.get(), seekable_name));
    const int can_seek = seekable ? PyObject_IsTrue(seekable.get()) : -1;
    if (can_seek < 0) return clear_ordinary_exception();
    if (can_seek == 0) return true;  // a pipe or a terminal: row by row, as lines come
    mode_ = buffer_ && start_byte_blocks() ? Mode::ByteBlocks : Mode::TextBlocks;
    return !PyErr_Occurred();
}

// The buffer is read directly only where the wrapper holds nothing of its
// own: seeking the wrapper to where it stands drops what it has decoded
// ahead, and then its position must be the buffer's.
bool ReaderInput::start_byte_blocks() {
    static PyObject* const tell_name = interned("tell");
    static PyObject* const seek_name = interned("seek");
    OwnedRef cookie = OwnedRef::steal(call(file_.get(), tell_name));
    OwnedRef seeked = OwnedRef::steal(
        cookie && seek_name ? PyObject_CallMethodOneArg(file_.get(), seek_name, cookie.get())
                            : nullptr);
    OwnedRef position = OwnedRef::steal(seeked ? call(buffer_.get(), tell_name) : nullptr);
    OwnedRef after = OwnedRef::steal(position ? call(file_.get(), tell_name) : nullptr);
    const int same = after ? PyObject_RichCompareBool(after.get(), position.get(), Py_EQ) : -1;
    const unsigned long long at = same == 1 ? PyLong_AsUnsignedLongLong(position.get()) : 0;
    if (same != 1 || PyErr_Occurred()) {
        if (PyErr_Occurred()) clear_ordinary_exception();
        return false;
    }
    buffer_position_ = at;
    // Without the wrapper a CR would reach the parser as it is, which is
    // the file's own text only if the file keeps CR (newline=""); a line
    // that ended with it shows that. Otherwise a block with a CR goes back
    // to the wrapper.
    keeps_carriage_returns_ = saw_cr_ending_;
    return true;
}

Pulled ReaderInput::pull_text_block(InputText& text, std::size_t at_least) {
    text.explicit_lines = false;
    static PyObject* const read_name = interned("read");
    OwnedRef block =
        OwnedRef::steal(call_with_size(file_.get(), read_name, std::max(block_size_, at_least)));
    if (!block) return Pulled::Failed;
    if (!PyUnicode_Check(block.get())) {
        not_a_str(block.get());
        return Pulled::Failed;
    }
    if (PyUnicode_GET_LENGTH(block.get()) == 0) return Pulled::End;
    append_str(block.get(), text);
    return Pulled::Text;
}

Pulled ReaderInput::pull_byte_block(InputText& text, std::size_t at_least) {
    text.explicit_lines = false;
    static PyObject* const read_name = interned("read");
    OwnedRef block =
        OwnedRef::steal(call_with_size(buffer_.get(), read_name, std::max(block_size_, at_least)));
    if (!block) return Pulled::Failed;
    if (!PyBytes_Check(block.get()) || PyBytes_GET_SIZE(block.get()) == 0) {
        // The end, unless a UTF-8 sequence is left unfinished: the wrapper
        // then reports it in its own words.
        if (PyBytes_Check(block.get()) && text.checked == text.bytes.size()) return Pulled::End;
        if (!fall_back_to_text(text)) return Pulled::Failed;
        return pull_text_block(text, at_least);
    }
    const auto size = static_cast<std::size_t>(PyBytes_GET_SIZE(block.get()));
    text.bytes.append(reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(block.get())), size);
    buffer_position_ += size;
    const std::size_t whole = without_cut_sequence(text.bytes.data(), text.bytes.size());
    const std::uint8_t* fresh = text.bytes.data() + text.checked;
    const std::size_t fresh_size = whole - text.checked;
    // What the wrapper would not give as it is goes back to it: bytes that
    // are not UTF-8 (its error), or a CR it might turn into LF.
    const bool same_text =
        is_valid_utf8(fresh, fresh_size) &&
        (keeps_carriage_returns_ || std::memchr(fresh, '\r', fresh_size) == nullptr);
    if (!same_text) {
        if (!fall_back_to_text(text)) return Pulled::Failed;
        return pull_text_block(text, at_least);
    }
    text.checked = whole;
    return Pulled::Text;
}

bool ReaderInput::fall_back_to_text(InputText& text) {
    static PyObject* const seek_name = interned("seek");
    const std::uint64_t unchecked = text.bytes.size() - text.checked;
    OwnedRef position = OwnedRef::steal(PyLong_FromUnsignedLongLong(buffer_position_ - unchecked));
    OwnedRef seeked = OwnedRef::steal(
        position && seek_name ? PyObject_CallMethodOneArg(buffer_.get(), seek_name, position.get())
                              : nullptr);
    if (!seeked) return false;
    text.bytes.set_size(text.checked);
    mode_ = Mode::TextBlocks;
    return true;
}

int ReaderInput::traverse(visitproc visit, void* arg) {
    Py_VISIT(lines_.get());
    Py_VISIT(file_.get());
    Py_VISIT(buffer_.get());
    return 0;
}

void ReaderInput::clear() {
    lines_ = OwnedRef();
    file_ = OwnedRef();
    buffer_ = OwnedRef();
}

}  // namespace brelt::py
