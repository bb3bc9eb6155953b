// burstmap when screen.bin cannot be made or written: its working folder removed or read-only,
// screen.bin a link to a full device, a disk that fills up, standard descriptors closed. It
// reports, runs the animation out, waits for the close request and exits with status 1; it never
// crashes, hangs, or leaves a partial screen.bin. Under SDL's dummy driver, where SIGTERM is the
// close request.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>

#include "tests/faults/fault_support.h"
#include "tests/support/live_process.h"

namespace fault_test {
namespace {

namespace fs = std::filesystem;
using test_support::LiveProcess;
using test_support::read_file;
using test_support::TempFolder;
using test_support::write_file;

const std::string kBurstmap = BURSTMAP_PROGRAM;
// The animation runs out in a few seconds; a slow shared machine may take many times that.
constexpr double kRunOutSeconds = 120;
const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};

std::set<std::string> entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Runs burstmap through the launcher, waits for its one line, then asks it to close.
struct FailedRun {
    std::string out;
    std::optional<int> status;
};

FailedRun run_until_closed(const std::string& folder, const std::string& program,
                           const std::vector<std::string>& arguments, const std::string& line) {
    test_support::RunOptions options = in_folder(folder);
    options.environment = {"SDL_VIDEODRIVER=dummy"};
    options.unset_environment = kNoDisplay;
    LiveProcess burstmap(program, arguments, options);
    EXPECT_TRUE(burstmap.started());
    EXPECT_TRUE(burstmap.wait_for_output(line, kRunOutSeconds)) << burstmap.out();
    // Made during the animation, the close request waits in the queue for its end.
    burstmap.send_signal(SIGTERM);
    FailedRun run;
    run.status = burstmap.wait_for_exit(kRunOutSeconds);
    run.out = burstmap.out();
    EXPECT_EQ(burstmap.err(), "");
    return run;
}

TEST(BurstmapFaults, ScreenBinCannotBeMadeOrWritten) {
    struct Case {
        const char* title;
        std::function<void(const TempFolder&)> prepare;
        std::string program;  // burstmap itself, or a launcher that runs it
        std::vector<std::string> arguments;
        std::string line;
        std::set<std::string> entries_after;  // the folder's entries after the run
    };
    const std::string as_nobody[] = {"--reuid=65534", "--regid=65534", "--clear-groups"};
    const Case cases[] = {
        {"its working folder removed",
         [](const TempFolder& folder) { ASSERT_EQ(mkdir((folder / "gone").c_str(), 0777), 0); },
         "/bin/sh",
         {"-c", "rmdir \"$(pwd)\" && exec \"$0\"", kBurstmap},
         "Can't create screen.bin\r\n",
         {}},
        {"a read-only working folder",
         [](const TempFolder& folder) { ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0); },
         "/usr/bin/setpriv",
         {as_nobody[0], as_nobody[1], as_nobody[2], kBurstmap},
         "Can't create screen.bin\r\n",
         {}},
        {"screen.bin a link to /dev/full",
         [](const TempFolder& folder) { fs::create_symlink("/dev/full", folder / "screen.bin"); },
         kBurstmap,
         {},
         "Can't write screen.bin\r\n",
         {"screen.bin"}},
        // The link stays, and so the file it leads to is emptied rather than left partial.
        {"a full disk behind a link",
         [](const TempFolder& folder) {
             fs::create_symlink("order.bin", folder / "screen.bin");
             write_file(folder / "order.bin", std::string(4000, 'x'));
         },
         "/bin/bash",
         {"-c", "ulimit -f 1 && trap '' XFSZ && exec \"$0\"", kBurstmap},
         "Can't write screen.bin\r\n",
         {"screen.bin", "order.bin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        c.prepare(folder);
        std::string working =
            c.title == std::string("its working folder removed") ? folder / "gone" : folder.path();
        FailedRun run = run_until_closed(working, c.program, c.arguments, c.line);
        chmod(folder.path().c_str(), 0777);
        EXPECT_EQ(run.out, c.line);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(entries(folder.path()), c.entries_after);
        if (c.entries_after.count("order.bin") != 0) {
            EXPECT_TRUE(fs::is_symlink(folder / "screen.bin"));
            EXPECT_EQ(fs::file_size(folder / "order.bin"), 0u);
        }
    }
    struct stat status {};
    EXPECT_TRUE(stat("/dev/full", &status) == 0 && S_ISCHR(status.st_mode));
}

// The working folder is a 64 KiB tmpfs with no byte left: screen.bin is created, and its first
// write meets ENOSPC.
TEST(BurstmapFaults, ARealFullDisk) {
    TempFolder folder;
    SmallFileSystem disk(folder.path(), 64 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "no tmpfs can be mounted here (" << disk.why_not()
                     << "); BurstmapProgram.AFullDiskLeavesNoTruncatedScreenBin fills the disk "
                        "with a file-size limit instead";
    }
    ASSERT_TRUE(disk.leave_free(0));
    FailedRun run = run_until_closed(folder.path(), kBurstmap, {}, "Can't write screen.bin\r\n");
    EXPECT_EQ(run.out, "Can't write screen.bin\r\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(entries(folder.path()), std::set<std::string>{"filler"});
}

// With its standard descriptors closed, the program opens them on /dev/null first, so that no
// file it or SDL opens takes their place and screen.bin holds exactly the 768 cell numbers.
TEST(BurstmapFaults, ClosedStandardDescriptorsReachNoFile) {
    TempFolder folder;
    test_support::RunOptions options = in_folder(folder.path());
    options.environment = {"SDL_VIDEODRIVER=dummy"};
    options.unset_environment = kNoDisplay;
    options.timeout_seconds = kRunOutSeconds;
    options.close_standard_input = true;
    options.close_standard_output = true;
    options.close_standard_error = true;
    test_support::RunResult result = test_support::run_program(kBurstmap, {}, options);
    EXPECT_EQ(result.exit_status, 0);
    auto bytes = read_file(folder / "screen.bin");
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), 1536u);
    std::set<int> cells;
    for (std::size_t i = 0; i < bytes->size(); i += 2) {
        cells.insert(static_cast<unsigned char>((*bytes)[i]) |
                     static_cast<unsigned char>((*bytes)[i + 1]) << 8);
    }
    EXPECT_EQ(cells.size(), 768u);
    EXPECT_EQ(*cells.rbegin(), 767);
    EXPECT_EQ(entries(folder.path()), std::set<std::string>{"screen.bin"});
}

}  // namespace
}  // namespace fault_test
