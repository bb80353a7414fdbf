// sniff_delimiter(path): the delimiter guess for a file, as a one-character str.
#include "exports.hpp"
#include "input/sniff_file.hpp"
#include "support/arguments.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"

namespace brelt::py {

namespace {

PyObject* sniff_delimiter(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("sniff_delimiter", {"path"}, 1);
        PyObject* bound[1];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        auto path = to_path(Argument{signature, 0, bound[0]});
        if (!path) return nullptr;

        Result<char> delimiter = without_gil([&] { return sniff_file_delimiter(*path); });
        // Every failure to read or decode the file is an OSError here.
        if (!delimiter.ok()) return raise(std::move(delimiter).error().as(ErrorKind::OS));
        const char text[1] = {*delimiter};
        return PyUnicode_FromStringAndSize(text, 1);
    });
}

}  // namespace

PyMethodDef sniff_delimiter_definition = {
    "sniff_delimiter",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(sniff_delimiter)),
    METH_FASTCALL | METH_KEYWORDS,
    "sniff_delimiter(path)\n--\n\nSniff delimiter from file content",
};

}  // namespace brelt::py
