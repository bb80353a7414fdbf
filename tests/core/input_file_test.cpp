// Reading a file front to back: system errors keep the system's words, and a
// file that changes size under the reader fails instead of being half read.
#include "input/input_file.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "temp_file.hpp"

namespace brelt {
namespace {

Result<std::string> read_all(InputFile& file, std::size_t piece) {
    std::string text;
    std::vector<std::uint8_t> buffer(piece);
    for (;;) {
        auto got = file.read(buffer);
        if (!got.ok()) return std::move(got).error();
        if (*got == 0) return text;
        text.append(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*got));
    }
}

TEST(InputFile, FileErrorsCarryTheSystemTextAndNumber) {
    EXPECT_EQ(InputFile::open("/nonexistent/brelt/file.csv").error().message,
              "No such file or directory (os error 2)");
    EXPECT_EQ(InputFile::open("").error().message, "No such file or directory (os error 2)");
    EXPECT_EQ(InputFile::open(std::string("/tmp\0/x", 7)).error().message,
              "file name contained an unexpected NUL byte");
    auto directory = InputFile::open("/tmp");
    ASSERT_TRUE(directory.ok());
    std::uint8_t byte;
    EXPECT_EQ(directory->read({&byte, 1}).error().message, "Is a directory (os error 21)");
    EXPECT_EQ(os_error_message(EACCES), "Permission denied (os error 13)");
}

TEST(InputFile, AFileWhoseSizeReadsAsZeroIsReadToItsEnd) {
    auto file = InputFile::open("/proc/self/stat");
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file->size(), 0u);
    auto text = read_all(*file, 7);
    ASSERT_TRUE(text.ok()) << text.error().message;
    EXPECT_GT(text->size(), 0u);
}

TEST(InputFile, AFileThatShrinksOrGrowsWhileReadFails) {
    for (const bool grows : {false, true}) {
        const testing::TempFile temp(std::string(1000, 'x'));
        auto file = InputFile::open(temp.path());
        ASSERT_TRUE(file.ok());
        ASSERT_EQ(::truncate(temp.path().c_str(), grows ? 1500 : 400), 0);
        // The bytes before the change come out first, then the failure.
        std::vector<std::uint8_t> buffer(2000);
        auto got = file->read(buffer);
        ASSERT_TRUE(got.ok());
        EXPECT_EQ(*got, grows ? 1000u : 400u);
        auto failure = file->read(buffer);
        ASSERT_FALSE(failure.ok());
        EXPECT_EQ(failure.error().message,
                  std::string("the file changed size while it was read (1000 bytes when opened, ") +
                      (grows ? "1500" : "400") + " read)");
        EXPECT_FALSE(file->read(buffer).ok());
    }
}

}  // namespace
}  // namespace brelt
