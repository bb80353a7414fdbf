// A partition plan as bytes, so that it can travel to other processes (a
// pickled plan carries them). Decoding checks every field: damaged or
// foreign bytes give an error, never a plan that reads out of bounds.
#pragma once

#include <string>
#include <string_view>

#include "common/result.hpp"
#include "partition/partition_plan.hpp"

namespace brelt {

std::string encode_plan(const PartitionPlan& plan);

// ErrorKind::Value, "not a partition plan (...)", for anything encode_plan
// did not make.
Result<PartitionPlan> decode_plan(std::string_view bytes);

}  // namespace brelt
