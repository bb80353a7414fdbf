// The slots and methods that Row and PyReader share, written once over how
// each reaches its row. `Source` provides
//   Lease: what the call holds while it reads the row (PyReader's shared use);
//   static bool open(PyObject* self, Lease&, RowView&): false with the
//     exception set when the row cannot be read now;
//   static const RowWording wording.
#pragma once

#include <optional>

#include "row_view.hpp"
#include "support/arguments.hpp"
#include "support/errors.hpp"
#include "support/owned_ref.hpp"

namespace brelt::py {

inline constexpr const char kToListDoc[] = "to_list($self)\n--\n\n";
inline constexpr const char kKeysDoc[] = "keys($self)\n--\n\n";
inline constexpr const char kValuesDoc[] = "values($self)\n--\n\n";
inline constexpr const char kItemsDoc[] = "items($self)\n--\n\n";
inline constexpr const char kGetDoc[] = "get($self, key, default=None)\n--\n\n";

template <class Source>
struct RowEntryPoints {
    // Runs `body(view)` inside the guard with the row open.
    template <class Body>
    static PyObject* with_row(PyObject* self, Body&& body) {
        return guarded([&]() -> PyObject* {
            typename Source::Lease lease;
            RowView view;
            if (!Source::open(self, lease, view)) return nullptr;
            return body(view);
        });
    }

    static Py_ssize_t length(PyObject* self) {
        return guarded_status([&]() -> Py_ssize_t {
            typename Source::Lease lease;
            RowView view;
            if (!Source::open(self, lease, view)) return -1;
            return static_cast<Py_ssize_t>(view.field_count());
        });
    }

    static PyObject* subscript(PyObject* self, PyObject* idx) {
        return with_row(self, [&](const RowView& view) { return row_subscript(view, idx); });
    }

    static PyObject* item(PyObject* self, Py_ssize_t index) {
        return with_row(self, [&](const RowView& view) { return row_item(view, index); });
    }

    static int contains(PyObject* self, PyObject* key) {
        return guarded_status([&]() -> int {
            static const Signature signature("__contains__", {"key"}, 1);
            typename Source::Lease lease;
            RowView view;
            if (!Source::open(self, lease, view)) return -1;
            auto name = to_string_view(Argument{signature, 0, key});
            if (!name) return -1;
            return row_has_column(view, *name);
        });
    }

    static PyObject* get(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
        static const Signature signature("get", {"key", "default"}, 1);
        PyObject* bound[2];
        // Binding only checks the call's shape; the key is converted with the row open.
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        return with_row(self, [&](const RowView& view) -> PyObject* {
            auto key = to_string_view(Argument{signature, 0, bound[0]});
            if (!key) return nullptr;
            return row_get(view, *key, bound[1]);
        });
    }

    static PyObject* keys(PyObject* self, PyObject*) { return with_row(self, row_keys); }
    static PyObject* values(PyObject* self, PyObject*) { return with_row(self, row_values); }
    static PyObject* items(PyObject* self, PyObject*) { return with_row(self, row_items); }
    static PyObject* repr(PyObject* self) { return with_row(self, row_repr); }

    static PyObject* richcompare(PyObject* self, PyObject* other, int op) {
        if (op == Py_EQ) {
            return with_row(self, [&](const RowView& view) -> PyObject* {
                const int equal = row_equals(view, other);
                if (equal < 0) return nullptr;
                return Py_NewRef(equal ? Py_True : Py_False);
            });
        }
        if (op == Py_NE) {
            return guarded([&]() -> PyObject* {
                OwnedRef equal = OwnedRef::steal(PyObject_RichCompare(self, other, Py_EQ));
                if (!equal) return nullptr;
                const int truth = PyObject_IsTrue(equal.get());
                if (truth < 0) return nullptr;
                return Py_NewRef(truth ? Py_False : Py_True);
            });
        }
        Py_RETURN_NOTIMPLEMENTED;
    }
};

}  // namespace brelt::py
