// What each binding file contributes to the module; module.cpp registers them.
#pragma once

#include "support/python.hpp"

namespace brelt::py {

// Each type is built on first use and kept for the life of the process
// (borrowed; nullptr with an exception set if building it failed).
PyObject* py_reader_type();
PyObject* py_writer_type();
PyObject* row_type();
PyObject* row_iterator_type();
PyObject* iter_csv_type();

extern PyMethodDef read_csv_definition;
extern PyMethodDef write_csv_definition;
extern PyMethodDef sniff_delimiter_definition;
// Private: brelt.plan_partitions and PartitionPlan.read are built on them.
extern PyMethodDef plan_partitions_definition;
extern PyMethodDef read_partition_definition;

}  // namespace brelt::py
