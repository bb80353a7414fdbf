// Reading a file in pieces (InputFile) or whole, mapped from kMapThreshold up
// (load_input_file): files whose size reads as zero are read to their end,
// and a mapping reads back unchanged however it is moved or its pages dropped.
#include <gtest/gtest.h>

#include <string>

#include "input/input_file.hpp"
#include "input/load.hpp"
#include "temp_file.hpp"

namespace brelt {
namespace {

std::string contents(const InputBytes& input) {
    return std::string(reinterpret_cast<const char*>(input.data()), input.size());
}

TEST(InputFile, AFileWhoseSizeReadsAsZeroIsReadToItsEnd) {
    auto file = InputFile::open("/proc/self/stat");
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file->size(), 0u);
    std::uint8_t piece[7];
    std::size_t total = 0;
    for (Result<std::size_t> got = 1; *got > 0; total += *got) {
        got = file->read(piece);
        ASSERT_TRUE(got.ok()) << got.error().message;
    }
    EXPECT_GT(total, 0u);
    auto input = load_input_file("/proc/self/stat");
    ASSERT_TRUE(input.ok()) << input.error().message;
    EXPECT_FALSE(input->is_mapped());
    EXPECT_GT(input->size(), 0u);
}

TEST(LoadInputFile, ReadBelowTheThresholdMappedFromItAndUnchangedAfterMovesAndDroppedPages) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, kMapThreshold - 1, kMapThreshold,
                             3 * kMapThreshold + 5}) {
        std::string text(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            text[i] = static_cast<char>('a' + i % 23);
        const testing::TempFile file(text);
        auto input = load_input_file(file.path());
        ASSERT_TRUE(input.ok()) << input.error().message;
        EXPECT_EQ(input->is_mapped(), size >= kMapThreshold) << size;
        ASSERT_EQ(contents(*input), text) << size;  // every page touched
        InputBytes assigned;
        assigned = std::move(*input);
        EXPECT_EQ(input->size(), 0u);
        for (const std::size_t offset : {std::size_t{1}, size / 2, size, size * 2}) {
            assigned.drop_pages_before(offset);
            ASSERT_EQ(contents(assigned), text) << size << " " << offset;
        }
    }
}

}  // namespace
}  // namespace brelt
