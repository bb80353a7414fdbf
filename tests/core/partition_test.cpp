// The quote-parity pass behind partition plans: its counting kernel on every
// instruction set, and the record starts it finds, against a plain walk over
// the bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "partition/quote_parity.hpp"

namespace brelt {
namespace {

std::string random_input(std::mt19937_64& rng) {
    static const std::string pieces[] = {",", "\"", "\"\"", "\r", "\n", "\r\n", "a", "\xC3\xA9"};
    std::string input;
    const std::size_t parts = rng() % 80;
    for (std::size_t i = 0; i < parts; ++i) {
        if (rng() % 8 == 0) {
            input.append(rng() % 150, rng() % 2 ? 'x' : '"');
        } else {
            input += pieces[rng() % std::size(pieces)];
        }
    }
    return input;
}

// The rule written out plainly: an LF after an even number of quotes ends a
// record, and the next one starts after it; unless the delimiter is the
// quote, when every LF does.
TEST(QuoteParity, RecordStartsMatchAPlainWalk) {
    std::mt19937_64 rng(1806);
    for (int round = 0; round < 600; ++round) {
        // Some inputs all quotes, long enough to fill every per-byte counter.
        const std::string input =
            round % 100 == 0 ? std::string(70'000 + rng() % 300, '"') : random_input(rng);
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        const bool quotes_count = round % 5 != 1;
        std::vector<bool> inside(input.size() + 1, false);
        std::vector<std::size_t> next_start(input.size() + 1, input.size());
        for (std::size_t i = 0; i < input.size(); ++i)
            inside[i + 1] = inside[i] != (quotes_count && input[i] == '"');
        for (std::size_t i = input.size(); i-- > 0;) {
            const bool starts = i == 0 || (input[i - 1] == '\n' && !inside[i - 1]);
            next_start[i] = starts ? i : next_start[i + 1];
        }
        const std::size_t chunk = 1 + rng() % 70;
        const std::size_t from = std::min<std::size_t>(round % 7, input.size());
        const auto quotes =
            static_cast<std::size_t>(std::count(input.begin() + from, input.end(), '"'));
        for (const Isa isa : supported_isas()) {
            ASSERT_EQ(
                scan_kernels_for(isa).count_byte(bytes.data() + from, bytes.size() - from, '"'),
                quotes);
            const QuoteParity parity(bytes, quotes_count, isa, chunk);
            // A few offsets of the long inputs: each lookup may walk to the end.
            for (std::size_t offset = 0; offset <= input.size();
                 offset += input.size() > 1000 ? 997 : 1) {
                if (quotes_count) {
                    ASSERT_EQ(parity.inside_quotes(offset), inside[offset]) << offset;
                }
                ASSERT_EQ(parity.record_start_at_or_after(offset), next_start[offset]) << offset;
            }
        }
    }
}

}  // namespace
}  // namespace brelt
