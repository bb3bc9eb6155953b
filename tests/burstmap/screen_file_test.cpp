// screen.bin as written from a full table: bytes, replacement, and the failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "burstmap/burstmap.h"
#include "tests/support/temp_folder.h"

namespace {

using burstmap::ScreenFileResult;
using test_support::TempFolder;

// Order values running backwards over the cells: cell 767 first, cell 0 last.
burstmap::CellOrderTable backwards_table() {
    burstmap::CellOrderTable table;
    for (int cell = 0; cell < 768; ++cell) {
        table.order[cell] = static_cast<std::int16_t>(768 - cell);
    }
    table.cells_entered = 769;
    return table;
}

TEST(ScreenFile, WordsLittleEndianInOrderOfEntryReplacingALongerFile) {
    TempFolder folder;
    const std::string name = folder / "screen.bin";
    test_support::write_file(name, test_support::pattern(5000));

    EXPECT_EQ(burstmap::write_screen_file(backwards_table(), name), ScreenFileResult::written);
    std::optional<std::string> bytes = test_support::read_file(name);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 1536u);  // the longer old file is cut
    EXPECT_EQ(bytes->substr(0, 6), test_support::bytes({0xFF, 0x02, 0xFE, 0x02, 0xFD, 0x02}));
    EXPECT_EQ(bytes->substr(1530), test_support::bytes({0x02, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

TEST(ScreenFile, FailuresAreToldApartAndLeaveNoTruncatedFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "screen.bin");
    EXPECT_EQ(burstmap::write_screen_file(backwards_table(), folder / "screen.bin"),
              ScreenFileResult::not_created);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "screen.bin"));

    // Every write to /dev/full fails as on a full disk; a device is never removed.
    EXPECT_EQ(burstmap::write_screen_file(backwards_table(), "/dev/full"),
              ScreenFileResult::not_written);
    struct stat status {};
    EXPECT_EQ(stat("/dev/full", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
}

}  // namespace
