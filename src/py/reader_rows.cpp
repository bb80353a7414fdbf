#include "reader_rows.hpp"

#include <string_view>

#include "row_view.hpp"
#include "support/collector_pause.hpp"
#include "support/owned_ref.hpp"

namespace brelt::py {

namespace {

using dialect::FieldSpan;

PyObject* text_of(std::string_view text, bool surrogates) {
    if (!surrogates) return field_to_str(text, "alloc");
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogatepass");
}

bool converts_to_float(FieldSpan span, Quoting quoting) {
    if (quoting != Quoting::NonNumeric && quoting != Quoting::Strings) return false;
    if (span.quoted() || span.size() == 0) return false;
#if PY_VERSION_HEX < 0x030C0000
    // Before 3.12 only a field that starts with plain text is a number: one
    // that starts with the escape character stays a str.
    if (span.escape_start()) return false;
#endif
    return true;
}

// The field as the csv module makes it; nullptr with the exception set.
PyObject* field_object(std::string_view text, FieldSpan span, const RowConversion& conversion) {
    const Quoting quoting = conversion.quoting;
    if (quoting == Quoting::Strings || quoting == Quoting::NotNull) {
        if (!span.quoted() && text.empty()) Py_RETURN_NONE;
    }
    OwnedRef str = OwnedRef::steal(text_of(text, conversion.surrogates));
    if (!str || !converts_to_float(span, quoting)) return str.release();
    return PyFloat_FromString(str.get());
}

}  // namespace

BuiltRows build_rows(const dialect::ParsedRecords& parsed, const std::uint8_t* input,
                     std::size_t first, std::size_t last, const RowConversion& conversion,
                     ColumnStrings& strings, std::vector<PyObject*>& out) {
    // Only strs, floats and lists are made here: no Python code runs.
    CollectorPause pause;
    const bool plain = conversion.quoting != Quoting::NonNumeric &&
                       conversion.quoting != Quoting::Strings &&
                       conversion.quoting != Quoting::NotNull && !conversion.surrogates;
    out.reserve(out.size() + (last - first));
    for (std::size_t r = first; r < last; ++r) {
        const dialect::RecordEntry& record = parsed.records[r];
        const std::uint32_t count = record.field_count;
        const FieldSpan* spans = parsed.fields.data() + record.first_field;
        strings.cover(count);
        OwnedRef list = OwnedRef::steal(new_list(static_cast<Py_ssize_t>(count)));
        if (!list) return {r};
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::string_view text = parsed.text(input, spans[i]);
            PyObject* field =
                plain ? strings.get(i, text) : field_object(text, spans[i], conversion);
            if (field == nullptr) return {r, i};
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), field);
        }
        out.push_back(list.release());
    }
    return {last};
}

}  // namespace brelt::py
