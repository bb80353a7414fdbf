// _read_partition(plan, index, n_threads=None): one partition of a plan as a
// list of dicts, typed by the plan's column types. The file is checked
// against the plan, and the partition's bytes are read, decoded and parsed
// without the interpreter lock.
#include "exports.hpp"
#include "parallel/worker_pool.hpp"
#include "partition/partition_plan.hpp"
#include "partition/plan_codec.hpp"
#include "support/arguments.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "typed_rows.hpp"

namespace brelt::py {

namespace {

enum Parameter { kPlan, kIndex, kThreads, kParameterCount };

PyObject* read_partition(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("read_partition", {"plan", "index", "n_threads"}, 2);
        PyObject* bound[kParameterCount];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        PyObject* plan_bytes = bound[kPlan];
        if (!PyBytes_Check(plan_bytes)) {
            return raise(Error(ErrorKind::Type, "plan must be bytes"));
        }
        auto index = to_u64(Argument{signature, kIndex, bound[kIndex]});
        if (!index) return nullptr;
        std::optional<std::uint64_t> threads;
        if (const Argument argument{signature, kThreads, bound[kThreads]}; argument.given()) {
            threads = to_u64(argument);
            if (!threads) return nullptr;
        }
        // The bytes object is kept alive by the caller's reference for the call.
        const std::string_view encoded(PyBytes_AS_STRING(plan_bytes),
                                       static_cast<std::size_t>(PyBytes_GET_SIZE(plan_bytes)));
        Result<PartitionPlan> plan = decode_plan(encoded);
        if (!plan.ok()) return raise(std::move(plan).error());
        if (*index >= plan->partition_count()) {
            return raise(Error(ErrorKind::Index, "partition index out of range"));
        }
        if (threads && *threads != 0) request_pool_size(*threads);
        const ReadRequest request =
            partition_request(*plan, static_cast<std::size_t>(*index), kCellsPerBlock);
        Result<PreparedRead> read = without_gil([&] { return prepare_read(request); });
        if (!read.ok()) return raise_read_error(std::move(read).error());
        return typed_rows(*read);
    });
}

}  // namespace

PyMethodDef read_partition_definition = {
    "_read_partition",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(read_partition)),
    METH_FASTCALL | METH_KEYWORDS,
    "_read_partition(plan, index, n_threads=None)\n--\n\n"
    "One partition of a plan made by _plan_partitions, as a list of dicts.",
};

}  // namespace brelt::py
