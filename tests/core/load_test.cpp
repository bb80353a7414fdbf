#include "input/load.hpp"

#include <gtest/gtest.h>

#include <string>

#include "temp_file.hpp"

namespace brelt {
namespace {

using testing::TempFile;

std::string contents(const InputBytes& input) {
    return std::string(reinterpret_cast<const char*>(input.data()), input.size());
}

std::string pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 23);
    return text;
}

TEST(LoadInputFile, SmallFilesAreReadAndLargeFilesMappedAtTheThreshold) {
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, kMapThreshold - 1, kMapThreshold, kMapThreshold + 4097}) {
        const std::string text = pattern(size);
        TempFile file(text);
        auto input = load_input_file(file.path());
        ASSERT_TRUE(input.ok()) << input.error().message;
        EXPECT_EQ(input->is_mapped(), size >= kMapThreshold) << size;
        EXPECT_EQ(contents(*input), text) << size;
    }
}

TEST(LoadInputFile, MovedFromInputOwnsNothingAndTheMappingStaysReadable) {
    const std::string text = pattern(kMapThreshold + 10);
    TempFile file(text);
    auto input = load_input_file(file.path());
    ASSERT_TRUE(input.ok());
    InputBytes moved = std::move(*input);
    EXPECT_EQ(input->size(), 0u);
    EXPECT_EQ(contents(moved), text);
    InputBytes assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(assigned.is_mapped());
    EXPECT_EQ(contents(assigned), text);
}

TEST(LoadInputFile, DroppedPagesReadBackUnchanged) {
    for (const std::size_t size : {kMapThreshold - 1, kMapThreshold * 3 + 123}) {
        const std::string text = pattern(size);
        TempFile file(text);
        auto input = load_input_file(file.path());
        ASSERT_TRUE(input.ok());
        ASSERT_EQ(contents(*input), text);  // every page touched
        for (const std::size_t offset : {std::size_t{1}, size / 2, size, size * 2}) {
            input->drop_pages_before(offset);
            ASSERT_EQ(contents(*input), text) << size << " " << offset;
        }
    }
}

TEST(LoadInputFile, FileErrorsCarryTheSystemTextAndNumber) {
    auto missing = load_input_file("/nonexistent/brelt/file.csv");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, ErrorKind::OS);
    EXPECT_EQ(missing.error().message, "No such file or directory (os error 2)");

    auto directory = load_input_file("/tmp");
    ASSERT_FALSE(directory.ok());
    EXPECT_EQ(directory.error().message, "Is a directory (os error 21)");

    auto empty_name = load_input_file("");
    ASSERT_FALSE(empty_name.ok());
    EXPECT_EQ(empty_name.error().message, "No such file or directory (os error 2)");
}

TEST(LoadInputFile, PathWithNulByteIsRefusedBeforeOpening) {
    auto input = load_input_file(std::string("/tmp\0/x", 7));
    ASSERT_FALSE(input.ok());
    EXPECT_EQ(input.error().message, "file name contained an unexpected NUL byte");
}

TEST(LoadInputFile, NonRegularFilesAreRead) {
    auto input = load_input_file("/proc/self/stat");
    ASSERT_TRUE(input.ok()) << input.error().message;
    EXPECT_FALSE(input->is_mapped());
    EXPECT_GT(input->size(), 0u);
}

}  // namespace
}  // namespace brelt
