// _plan_partitions(path, <read_csv's options>, partition_bytes=None,
// partitions=None): the partition plan of a file, for brelt's
// plan_partitions. The parity pass, the header and the inference run
// without the interpreter lock.
#include "exports.hpp"
#include "parallel/worker_pool.hpp"
#include "partition/partition_plan.hpp"
#include "partition/plan_codec.hpp"
#include "read_options.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "support/owned_ref.hpp"
#include "typed_rows.hpp"

namespace brelt::py {

namespace {

enum PlanParameter { kPartitionBytes = kReadParameterCount, kPartitions, kPlanParameterCount };

const char* type_name(ColumnType type) {
    switch (type) {
        case ColumnType::Int:
            return "int";
        case ColumnType::Float:
            return "float";
        case ColumnType::Bool:
            return "bool";
        case ColumnType::Str:
            break;
    }
    return "str";
}

PyObject* string_list(const std::vector<std::string>& texts) {
    OwnedRef list = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(texts.size())));
    if (!list) return nullptr;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        PyObject* text = PyUnicode_DecodeUTF8(texts[k].data(),
                                              static_cast<Py_ssize_t>(texts[k].size()), "replace");
        if (text == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), text);
    }
    return list.release();
}

// (plan bytes, partition starts, file size, keys, type names).
PyObject* describe(const PartitionPlan& plan) {
    const std::string encoded = encode_plan(plan);
    OwnedRef starts = OwnedRef::steal(PyList_New(static_cast<Py_ssize_t>(plan.starts.size())));
    if (!starts) return nullptr;
    for (std::size_t k = 0; k < plan.starts.size(); ++k) {
        PyObject* start = PyLong_FromUnsignedLongLong(plan.starts[k]);
        if (start == nullptr) return nullptr;
        PyList_SET_ITEM(starts.get(), static_cast<Py_ssize_t>(k), start);
    }
    std::vector<std::string> types;
    for (const ColumnPlan& column : plan.request.plan->columns)
        types.emplace_back(type_name(column.type));
    OwnedRef keys = OwnedRef::steal(string_list(plan.request.plan->keys));
    OwnedRef type_names = OwnedRef::steal(string_list(types));
    if (!keys || !type_names) return nullptr;
    return Py_BuildValue("(y#OKOO)", encoded.data(), static_cast<Py_ssize_t>(encoded.size()),
                         starts.get(), static_cast<unsigned long long>(plan.identity.size),
                         keys.get(), type_names.get());
}

PyObject* plan_partitions(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature(
            "plan_partitions", {BRELT_READ_PARAMETER_NAMES, "partition_bytes", "partitions"}, 1);
        PyObject* bound[kPlanParameterCount];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        ReadOptions options;
        if (!read_options(signature, bound, options)) return nullptr;
        PartitionTarget target;
        for (const auto parameter : {kPartitionBytes, kPartitions}) {
            const Argument argument{signature, static_cast<std::size_t>(parameter),
                                    bound[parameter]};
            if (!argument.given()) continue;
            auto value = to_u64(argument);
            if (!value) return nullptr;
            if (*value == 0) {
                return raise(
                    Error(ErrorKind::Value, std::string(argument.name()) + " must be at least 1"));
            }
            (parameter == kPartitionBytes ? target.bytes : target.count) = *value;
        }
        if (target.bytes != 0 && target.count != 0) {
            return raise(Error(ErrorKind::Value, "give partition_bytes or partitions, not both"));
        }
        if (options.threads && *options.threads != 0) request_pool_size(*options.threads);
        Result<PartitionPlan> plan = without_gil(
            [&] { return brelt::plan_partitions(options.request, options.null_values, target); });
        if (!plan.ok()) return raise_read_error(std::move(plan).error());
        return describe(*plan);
    });
}

}  // namespace

PyMethodDef plan_partitions_definition = {
    "_plan_partitions",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(plan_partitions)),
    METH_FASTCALL | METH_KEYWORDS,
    "_plan_partitions(path, <read_csv's options>, partition_bytes=None, partitions=None)\n--\n\n"
    "The partition plan behind brelt.plan_partitions: (plan bytes, partition starts, file size, "
    "column names, type names).",
};

}  // namespace brelt::py
