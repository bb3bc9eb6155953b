#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace platform {
namespace {

using test_support::read_file;
using test_support::TempFolder;
using test_support::write_file;

class Files : public ::testing::Test {
  protected:
    void TearDown() override { close_all_files(); }
    TempFolder folder;
};

TEST_F(Files, FileSizeTellsWhatKindOfNameItIs) {
    write_file(folder / "six", "123456");
    std::filesystem::create_directory(folder / "sub");
    mkfifo((folder / "pipe").c_str(), 0666);
    std::filesystem::create_symlink(folder / "nowhere", folder / "dangling");
    std::filesystem::create_symlink(folder / "six", folder / "link");
    struct Case {
        std::string name;
        std::int64_t size;
    };
    const Case cases[] = {
        {folder / "six", 6},
        {folder / "link", 6},
        {folder / "missing", -1},
        {"", -1},
        {folder / "dangling", -1},
        {folder / "six/below", -1},
        {folder / "sub", -2},
        {folder / "pipe", -2},
        {"/dev/zero", -2},
        {folder / std::string(300, 'n'), -3},  // longer than a name may be
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file_size(c.name), c.size) << c.name;
    }
}

TEST_F(Files, WritesAreLittleEndianAndCreateReplaces) {
    std::string name = folder / "out.bin";
    write_file(name, std::string(100, 'x'));
    ASSERT_TRUE(create_file(0, name));
    EXPECT_TRUE(write_byte(0, 0x1FF));
    EXPECT_TRUE(write_word(0, 0x12345678));
    EXPECT_TRUE(write_long(0, 0xA1B2C3D4));
    EXPECT_EQ(file_length(0), 7);  // pending writes are flushed first
    EXPECT_TRUE(close_file(0));
    EXPECT_EQ(read_file(name), test_support::bytes({0xFF, 0x78, 0x56, 0xD4, 0xC3, 0xB2, 0xA1}));
}

TEST_F(Files, SwitchingBetweenReadingAndWritingKeepsThePosition) {
    std::string name = folder / "mixed.bin";
    write_file(name, "ABCDEFGH");
    ASSERT_TRUE(open_file(0, name));
    EXPECT_EQ(read_byte(0), 'A');
    EXPECT_TRUE(write_byte(0, 'x'));  // lands at position 1, though B..H were read ahead
    EXPECT_EQ(read_byte(0), 'C');
    EXPECT_EQ(read_long(0), 0x47464544u);                      // D E F G
    EXPECT_EQ(read_long(0), static_cast<std::uint32_t>('H'));  // missing bytes count as 0
    EXPECT_EQ(read_byte(0), 0);                                // nothing left
    EXPECT_TRUE(write_long(0, 0x04030201));                    // appends at the end
    EXPECT_TRUE(close_file(0));
    EXPECT_EQ(read_file(name), "AxCDEFGH" + test_support::bytes({1, 2, 3, 4}));
}

TEST_F(Files, ReadsALargeFileWholeAndByteByByte) {
    std::string name = folder / "large.bin";
    std::string content = test_support::pattern(300000, 5);
    write_file(name, content);
    ASSERT_TRUE(open_file_for_reading(1, name));
    std::string whole(content.size() + 10, '\0');
    EXPECT_EQ(read_data(1, whole.data(), static_cast<std::int64_t>(whole.size())), 300000);
    EXPECT_EQ(whole.substr(0, content.size()), content);
    ASSERT_TRUE(open_file_for_reading(1, name));  // reopening starts again at 0
    for (std::size_t i = 0; i < content.size(); ++i) {
        ASSERT_EQ(read_byte(1), static_cast<unsigned char>(content[i])) << "byte " << i;
    }
}

TEST_F(Files, OpeningForReadingNeverCreatesAndTakesOnlyRegularFiles) {
    mkfifo((folder / "pipe").c_str(), 0666);
    EXPECT_FALSE(open_file_for_reading(0, folder / "missing"));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
    EXPECT_FALSE(open_file_for_reading(0, folder / "pipe"));  // returns at once: no writer needed
    EXPECT_FALSE(open_file_for_reading(0, "/dev/zero"));
    EXPECT_FALSE(open_file(0, folder.path()));
    EXPECT_FALSE(open_file_for_reading(0, ""));
    EXPECT_TRUE(open_file(0, folder / "new"));  // open_file creates a missing file
    EXPECT_EQ(file_length(0), 0);
    EXPECT_FALSE(write_byte(kFileNumbers, 1));  // numbers out of range fail
    EXPECT_FALSE(create_file(-1, folder / "x"));
}

TEST_F(Files, WritingToAReadOnlyOpenFails) {
    std::string name = folder / "image.scl";
    write_file(name, "1234");
    ASSERT_TRUE(open_file_for_reading(0, name));
    EXPECT_FALSE(write_long(0, 7));
    EXPECT_TRUE(close_file(0));
    EXPECT_EQ(read_file(name), "1234");
}

TEST_F(Files, AFailedWriteShowsAtTheEndAndTheDeviceIsNeverRemoved) {
    ASSERT_TRUE(create_file(0, "/dev/full"));
    EXPECT_TRUE(write_word(0, 1));  // buffered: the device has not refused it yet
    EXPECT_FALSE(finish_output(0));
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));

    ASSERT_TRUE(create_file(0, "/dev/full"));
    EXPECT_TRUE(write_word(0, 1));
    EXPECT_FALSE(close_file(0));
}

TEST_F(Files, DiscardRemovesOnlyAFileThisRunReplaced) {
    std::string made = folder / "made.tap";
    ASSERT_TRUE(create_file(0, made));
    write_long(0, 1);
    EXPECT_TRUE(discard_file(0));
    EXPECT_FALSE(std::filesystem::exists(made));

    // Through a link the target was truncated, but neither the link nor the target goes.
    std::string target = folder / "target.tap";
    write_file(target, "old");
    std::filesystem::create_symlink(target, folder / "link.tap");
    ASSERT_TRUE(create_file(0, folder / "link.tap"));
    EXPECT_FALSE(discard_file(0));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.tap"));
    EXPECT_TRUE(std::filesystem::exists(target));

    // A file only opened, never replaced, stays.
    std::string kept = folder / "kept.scl";
    write_file(kept, "data");
    ASSERT_TRUE(open_file(0, kept));
    EXPECT_FALSE(discard_file(0));
    EXPECT_EQ(read_file(kept), "data");

    ASSERT_TRUE(create_file(0, "/dev/null"));
    EXPECT_FALSE(discard_file(0));
    EXPECT_TRUE(std::filesystem::exists("/dev/null"));
}

TEST_F(Files, SameFileFollowsLinksAndNeedsBothToExist) {
    write_file(folder / "a", "x");
    write_file(folder / "b", "x");
    std::filesystem::create_symlink(folder / "a", folder / "to-a");
    EXPECT_TRUE(same_file(folder / "a", folder / "to-a"));
    EXPECT_TRUE(same_file(folder / "a", folder.path() + "/./a"));
    EXPECT_FALSE(same_file(folder / "a", folder / "b"));
    EXPECT_FALSE(same_file(folder / "a", folder / "missing"));
    EXPECT_FALSE(same_file(folder / "missing", folder / "missing"));
}

TEST_F(Files, IdentityOfANameAndOfAnOpenFileAgree) {
    write_file(folder / "a", "12345");
    write_file(folder / "b", "x");
    std::filesystem::create_symlink(folder / "a", folder / "to-a");
    ASSERT_TRUE(file_identity(folder / "a").has_value());
    EXPECT_EQ(file_identity(folder / "to-a"), file_identity(folder / "a"));
    EXPECT_NE(file_identity(folder / "b"), file_identity(folder / "a"));
    EXPECT_EQ(file_identity(folder / "missing"), std::nullopt);
    EXPECT_EQ(file_identity(""), std::nullopt);

    ASSERT_TRUE(open_file_for_reading(1, folder / "to-a"));
    EXPECT_EQ(open_file_identity(1), file_identity(folder / "a"));
    EXPECT_EQ(open_file_identity(2), std::nullopt);
    EXPECT_EQ(open_file_identity(-1), std::nullopt);
}

TEST_F(Files, OpenedLengthIsTheLengthAtOpeningAndAsksNothingLater) {
    write_file(folder / "five", "12345");
    ASSERT_TRUE(open_file_for_reading(1, folder / "five"));
    EXPECT_EQ(opened_length(1), 5);
    // Grown from outside after the open: file_length asks again, opened_length does not.
    write_file(folder / "five", "1234567");
    EXPECT_EQ(file_length(1), 7);
    EXPECT_EQ(opened_length(1), 5);
    EXPECT_EQ(opened_length(2), -1);

    ASSERT_TRUE(create_file(2, folder / "new"));
    EXPECT_EQ(opened_length(2), 0);
}

}  // namespace
}  // namespace platform
