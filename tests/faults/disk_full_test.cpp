// A disk that fills up while a tool writes. Two ways: a file-size limit (RLIMIT_FSIZE with SIGXFSZ
// ignored, so writes past it fail with EFBIG, on any machine), and where mounting is permitted a
// small tmpfs filled to the brim (ENOSPC, a disk really full). Either way the failure is
// reported, the exit status is 1 and no partial output is left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "tests/faults/fault_support.h"

namespace fault_test {
namespace {

namespace fs = std::filesystem;
using test_support::file_exists;
using test_support::pattern;
using test_support::read_file;
using test_support::RunResult;
using test_support::TempFolder;
using test_support::write_file;

TEST(DiskFull, CellweaveLeavesNoPartialRec) {
    const std::string screen = pattern(6912, 5);
    const std::string failed = "Loading pic.scr 6912 bytes\r\nCan't write pic.scr.rec\r\n";
    struct Case {
        const char* title;
        long long limit;      // the largest file the run may write
        const char* old_rec;  // pic.scr.rec before the run; nullptr: none
        bool rec_is_link;     // pic.scr.rec is a link to target.rec
        std::string out;
        int status;
    };
    const Case cases[] = {
        {"no byte fits", 0, nullptr, false, failed, 1},
        {"a part fits", 1000, nullptr, false, failed, 1},
        {"one byte short", 6911, nullptr, false, failed, 1},
        {"an older output is not kept either", 1000, "old output", false, failed, 1},
        // The link is not removed, so the file it leads to is emptied instead.
        {"through a link", 1000, "old output", true, failed, 1},
        {"just enough", 6912, nullptr, false, "Loading pic.scr 6912 bytes\r\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        write_file(folder / "pic.scr", screen);
        const std::string written = c.rec_is_link ? folder / "target.rec" : folder / "pic.scr.rec";
        if (c.rec_is_link) {
            fs::create_symlink("target.rec", folder / "pic.scr.rec");
        }
        if (c.old_rec != nullptr) {
            write_file(written, c.old_rec);
        }
        test_support::RunOptions options = in_folder(folder.path());
        options.file_size_limit = c.limit;
        RunResult result = test_support::run_program(kCellweave, {"pic.scr"}, options);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(read_file(folder / "pic.scr"), screen);
        if (c.status == 0) {
            EXPECT_EQ(read_file(written), rewoven(screen));
        } else if (c.rec_is_link) {
            EXPECT_TRUE(fs::is_symlink(folder / "pic.scr.rec"));
            EXPECT_EQ(fs::file_size(written), 0u)
                << "a partial output remains where the link leads";
        } else {
            EXPECT_FALSE(file_exists(written));
        }
    }
}

// The output lands on a 64 KiB tmpfs mounted in the test folder as "full", filled up first.
TEST(DiskFull, ARealFullDiskAsEachToolMeetsIt) {
    const std::string image = pattern(4092, 8) + std::string(4, '\0');  // needs a repair
    struct Case {
        const char* title;
        std::function<void(const TempFolder&)> prepare;  // files, before the disk is filled
        long long free_bytes;                            // what is left free on "full"
        std::string program;
        std::vector<std::string> arguments;  // run in the test folder
        std::string out;
        std::string output;        // the file that must not remain, or must stay as it was
        std::string output_after;  // its bytes after the run; empty: it must not exist
    };
    const Case cases[] = {
        {"cellweave: the .rec beside the screen",
         [](const TempFolder& folder) { write_file(folder / "full/pic.scr", pattern(6912)); },
         4096,
         kCellweave,
         {"full/pic.scr"},
         "Loading full/pic.scr 6912 bytes\r\nCan't write full/pic.scr.rec\r\n",
         "full/pic.scr.rec",
         ""},
        {"blockbind: the image",
         [](const TempFolder& folder) { write_file(folder / "a.bin", pattern(6000)); },
         4096,
         kBlockbind,
         {"full/out.tap", "a.bin"},
         "add file a.bin 6000\r\nCan't write full/out.tap\r\n",
         "full/out.tap",
         ""},
        // The image fills its last page exactly: the trailer needs a page that is not there.
        {"sumseal: the appended trailer",
         [&](const TempFolder& folder) { write_file(folder / "full/disk.scl", image); },
         0,
         kSumseal,
         {"full/disk.scl"},
         "Fixing...\r\nCan't write full/disk.scl\r\n",
         "full/disk.scl",
         image},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        ASSERT_EQ(mkdir((folder / "full").c_str(), 0777), 0);
        SmallFileSystem disk(folder / "full", 64 * 1024);
        if (!disk.mounted()) {
            GTEST_SKIP() << "no tmpfs can be mounted here (" << disk.why_not()
                         << "); DiskFull.CellweaveLeavesNoPartialRec and the tools' own tests "
                            "fill the disk with a file-size limit instead";
        }
        c.prepare(folder);
        ASSERT_TRUE(disk.leave_free(c.free_bytes));
        RunResult result =
            test_support::run_program(c.program, c.arguments, in_folder(folder.path()));
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, 1);
        if (c.output_after.empty()) {
            EXPECT_FALSE(file_exists(folder / c.output));
        } else {
            EXPECT_EQ(read_file(folder / c.output), c.output_after);
        }
    }
}

}  // namespace
}  // namespace fault_test
