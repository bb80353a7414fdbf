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
PyObject* writer_type();
// The csv-style reader, used by brelt/_reader.py; private (not in __all__).
PyObject* csv_reader_type();
// The C part of brelt/_dict.py's DictReader; private too.
PyObject* dict_reader_base_type();
PyObject* iter_csv_type();

extern PyMethodDef read_csv_definition;
extern PyMethodDef write_csv_definition;
extern PyMethodDef sniff_delimiter_definition;
// Private: brelt.plan_partitions and PartitionPlan.read are built on them.
extern PyMethodDef plan_partitions_definition;
extern PyMethodDef read_partition_definition;

}  // namespace brelt::py
