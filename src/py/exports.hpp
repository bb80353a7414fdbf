// What each binding file contributes to the module; module.cpp registers them.
#pragma once

#include "support/python.hpp"

namespace brelt::py {

extern PyMethodDef sniff_delimiter_definition;

}  // namespace brelt::py
