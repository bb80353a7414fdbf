// Numbers spelled exactly as the interpreter's str() spells them, so the
// writers can skip creating a str object for every int and float they write.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brelt {

// Room for any text the two functions below produce.
inline constexpr std::size_t kNumberTextCapacity = 32;

// The decimal text of `value`, as str(int) gives it. Returns the length.
std::size_t format_integer(std::int64_t value, char* out);

// The shortest text that reads back as `value`, laid out as str(float) and
// repr(float) do: fixed notation with at least one digit after the point for
// decimal exponents -4 to 15, otherwise d[.ddd]e±XX; "inf", "-inf", "nan".
// Returns the length.
std::size_t format_double(double value, char* out);

}  // namespace brelt
