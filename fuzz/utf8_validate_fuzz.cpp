// Every supported UTF-8 validation kernel must agree with a plain decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/isa.hpp"
#include "input/utf8_validate.hpp"
#include "utf8_reference.hpp"

using brelt::testing::reference_valid_utf8;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto isas = brelt::supported_isas();
    const bool expected = reference_valid_utf8(data, size);
    for (brelt::Isa isa : isas) {
        if (brelt::is_valid_utf8_with(isa, data, size) != expected) std::abort();
    }
    if (brelt::is_valid_utf8(data, size) != expected) std::abort();
    return 0;
}
