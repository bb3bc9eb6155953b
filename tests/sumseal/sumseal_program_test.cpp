// sumseal run as a process on images in a temporary folder: console text, image bytes and exit
// status compared exactly. Standard input is /dev/null unless a case says otherwise, so the key
// wait at the end of every run ends by itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/build.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::bytes;
using test_support::file_exists;
using test_support::read_file;
using test_support::run_program;
using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempFolder;
using test_support::write_file;

const std::string kProgram = SUMSEAL_PROGRAM;

const std::string kUsage = "Usage:sumseal.exe <Filename.scl>\r\npress any key\r\n";
const std::string kRepaired = "Fixing...\r\ndone! press any key.\r\n";

// FF FF FF FA sum to 0x3F7; F7 03 00 00 is that sum as a trailer.
const std::string kValidImage = bytes({0xFF, 0xFF, 0xFF, 0xFA, 0xF7, 0x03, 0x00, 0x00});

RunOptions quick() {
    RunOptions options;
    options.timeout_seconds = 20;
    return options;
}

RunResult run_in(const TempFolder& folder, const std::vector<std::string>& arguments) {
    RunOptions options = quick();
    options.working_folder = folder.path();
    return run_program(kProgram, arguments, options);
}

// Byte strings of many megabytes: report where they differ instead of printing them.
testing::AssertionResult same_bytes(const std::optional<std::string>& actual,
                                    const std::optional<std::string>& expected) {
    if (!actual || !expected) {
        if (actual.has_value() == expected.has_value()) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure()
               << (actual ? "the file exists but should not" : "the file is missing");
    }
    if (*actual == *expected) {
        return testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual->size() && at < expected->size() && (*actual)[at] == (*expected)[at]) {
        ++at;
    }
    return testing::AssertionFailure() << "length " << actual->size() << ", expected "
                                       << expected->size() << "; first difference at " << at;
}

std::set<std::string> entries(const TempFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct ImageCase {
    const char* title;
    std::string name;                  // the image in the folder
    std::optional<std::string> image;  // its bytes before the run; absent: no such file
    std::vector<std::string> arguments;
    std::string out;
    int status;
    std::optional<std::string> after;  // the image after the run; absent: still no such file
    std::string second_out;            // a second run's report, when the case has one
};

std::vector<ImageCase> image_cases() {
    const std::string many_ff_bit31(8421505, '\xFF');  // 8421505 * 255 = 0x8000007F
    const std::string many_ff_wrap(16843010, '\xFF');  // 16843010 * 255 = 2^32 + 0xFE
    return {
        {"no parameter", "disk.scl", std::nullopt, {}, kUsage, 2, std::nullopt, ""},
        {"valid image",
         "disk.scl",
         kValidImage,
         {"disk.scl"},
         "Checksums equal:3F7=3F7\r\n",
         0,
         kValidImage,
         ""},
        // 20 30 40 50 read as a trailer does not match the sum 10; the new trailer covers all.
        {"trailer missing",
         "disk.scl",
         bytes({0x10, 0x20, 0x30, 0x40, 0x50}),
         {"disk.scl"},
         kRepaired,
         0,
         bytes({0x10, 0x20, 0x30, 0x40, 0x50, 0xF0, 0x00, 0x00, 0x00}),
         "Checksums equal:F0=F0\r\n"},
        // The wrong trailer stays as data and counts in the new sum (0x24 + 0).
        {"wrong trailer",
         "disk.scl",
         bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x00, 0x00, 0x00, 0x01}),
         {"disk.scl"},
         kRepaired,
         0,
         bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x00, 0x00, 0x00, 0x01, 0x25, 0x00,
                0x00, 0x00}),
         "Checksums equal:25=25\r\n"},
        {"bytes from 0x80 count unsigned",
         "disk.scl",
         bytes({0xFF, 0x00, 0x00, 0x00, 0x00}),
         {"disk.scl"},
         kRepaired,
         0,
         bytes({0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}),
         "Checksums equal:FF=FF\r\n"},
        {"empty image", "disk.scl", "", {"disk.scl"}, "Checksums equal:0=0\r\n", 0, "", ""},
        {"three zero bytes",
         "disk.scl",
         bytes({0, 0, 0}),
         {"disk.scl"},
         "Checksums equal:0=0\r\n",
         0,
         bytes({0, 0, 0}),
         ""},
        // Shorter than a trailer: 01 02 is the trailer 0x0201, and the sum of the bytes present
        // is appended.
        {"two bytes",
         "disk.scl",
         bytes({0x01, 0x02}),
         {"disk.scl"},
         kRepaired,
         0,
         bytes({0x01, 0x02, 0x03, 0x00, 0x00, 0x00}),
         "Checksums equal:3=3\r\n"},
        {"four zero bytes",
         "disk.scl",
         bytes({0, 0, 0, 0}),
         {"disk.scl"},
         "Checksums equal:0=0\r\n",
         0,
         bytes({0, 0, 0, 0}),
         ""},
        {"four bytes not all zero",
         "disk.scl",
         bytes({0x01, 0x00, 0x00, 0x80}),
         {"disk.scl"},
         kRepaired,
         0,
         bytes({0x01, 0x00, 0x00, 0x80, 0x81, 0x00, 0x00, 0x00}),
         "Checksums equal:81=81\r\n"},
        {"sum with bit 31 set",
         "big.scl",
         many_ff_bit31 + bytes({0x7F, 0x00, 0x00, 0x80}),
         {"big.scl"},
         "Checksums equal:FFFFFFFF8000007F=FFFFFFFF8000007F\r\n",
         0,
         many_ff_bit31 + bytes({0x7F, 0x00, 0x00, 0x80}),
         ""},
        {"sum wraps modulo 2^32",
         "big.scl",
         many_ff_wrap + bytes({0, 0, 0, 0}),
         {"big.scl"},
         kRepaired,
         0,
         many_ff_wrap + bytes({0, 0, 0, 0, 0xFE, 0x00, 0x00, 0x00}),
         "Checksums equal:FE=FE\r\n"},
        {"name with spaces and a comma",
         "my disk, v2.scl",
         kValidImage,
         {"my disk, v2.scl"},
         "Checksums equal:3F7=3F7\r\n",
         0,
         kValidImage,
         ""},
        {"parameters after the first ignored",
         "disk.scl",
         kValidImage,
         {"disk.scl", "other.scl"},
         "Checksums equal:3F7=3F7\r\n",
         0,
         kValidImage,
         ""},
        {"missing name not created",
         "nosuch.scl",
         std::nullopt,
         {"nosuch.scl"},
         "File nosuch.scl not found\r\n",
         1,
         std::nullopt,
         ""},
        {"empty parameter is a missing name",
         "disk.scl",
         kValidImage,
         {"", "disk.scl"},
         "File  not found\r\n",
         1,
         kValidImage,
         ""},
    };
}

TEST(SumsealProgram, ChecksAndRepairsImages) {
    for (const ImageCase& c : image_cases()) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        if (c.image) {
            write_file(folder / c.name, *c.image);
        }
        RunResult result = run_in(folder, c.arguments);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_TRUE(same_bytes(read_file(folder / c.name), c.after));
        // Nothing but the image itself, if there was one, is ever left in the folder.
        std::set<std::string> expected_entries;
        if (c.image) {
            expected_entries.insert(c.name);
        }
        EXPECT_EQ(entries(folder), expected_entries);

        if (!c.second_out.empty()) {
            RunResult second = run_in(folder, c.arguments);
            EXPECT_EQ(second.out, c.second_out);
            EXPECT_EQ(second.exit_status, 0);
            EXPECT_TRUE(same_bytes(read_file(folder / c.name), c.after));
        }
    }
}

TEST(SumsealProgram, NamesThatAreNotRegularFilesAreReportedNotOpened) {
    enum class Kind { kFolder, kFifo, kDanglingLink };
    struct Case {
        const char* title;
        Kind kind;
        std::string name;
        std::string out;
    };
    const Case cases[] = {
        {"folder", Kind::kFolder, "disks", "Can't read disks\r\n"},
        // Opening a FIFO without a writer would block: the run must end anyway.
        {"FIFO", Kind::kFifo, "pipe.scl", "Can't read pipe.scl\r\n"},
        // Following the link would create its target.
        {"dangling link", Kind::kDanglingLink, "link.scl", "File link.scl not found\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        switch (c.kind) {
            case Kind::kFolder:
                ASSERT_EQ(mkdir((folder / c.name).c_str(), 0755), 0);
                break;
            case Kind::kFifo:
                ASSERT_EQ(mkfifo((folder / c.name).c_str(), 0644), 0);
                break;
            case Kind::kDanglingLink:
                ASSERT_EQ(symlink("target.scl", (folder / c.name).c_str()), 0);
                break;
        }
        RunResult result = run_in(folder, {c.name});
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(entries(folder), std::set<std::string>{c.name});
    }

    RunResult device = run_program(kProgram, {"/dev/null"}, quick());
    EXPECT_EQ(device.out, "Can't read /dev/null\r\n");
    EXPECT_EQ(device.exit_status, 1);
}

TEST(SumsealProgram, KeyWaitEndsAtAKeyOrWhenNoKeyCanCome) {
    struct Case {
        const char* title;
        std::optional<std::string> input;  // absent: /dev/null
        bool input_closed;
    };
    const Case cases[] = {
        {"a key on a pipe", "q", false},
        {"a pipe at its end", "", false},
        {"/dev/null", std::nullopt, false},
        {"standard input closed", std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        write_file(folder / "disk.scl", kValidImage);
        RunOptions options = quick();
        options.working_folder = folder.path();
        options.standard_input = c.input;
        options.close_standard_input = c.input_closed;
        RunResult result = run_program(kProgram, {"disk.scl"}, options);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.out, "Checksums equal:3F7=3F7\r\n");
        EXPECT_EQ(result.exit_status, 0);
    }
}

// Every way out ends the signal thread and gives back what the run took.
TEST(SumsealProgram, RunsCleanUnderValgrind) {
    if (test_support::kSanitizedBuild) {
        GTEST_SKIP() << "valgrind cannot run a program built with AddressSanitizer";
    }
    struct Case {
        const char* title;
        std::vector<std::string> arguments;
        int status;
    };
    const Case cases[] = {
        {"repair", {"disk.scl"}, 0},
        {"usage", {}, 2},
        {"missing name", {"nosuch.scl"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        write_file(folder / "disk.scl", bytes({0x10, 0x20, 0x30, 0x40, 0x50}));
        // Blocks still reachable at exit (main's command line) are not leaks.
        std::vector<std::string> arguments = {"--quiet", "--leak-check=full", "--error-exitcode=99",
                                              kProgram};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        RunOptions options = quick();
        options.working_folder = folder.path();
        options.timeout_seconds = 120;
        RunResult result = run_program("/usr/bin/valgrind", arguments, options);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, c.status);
    }
}

// Root ignores permission bits, so these run as the unprivileged user nobody.
TEST(SumsealProgram, PermissionsAsAnUnprivilegedUser) {
    struct Case {
        const char* title;
        mode_t image_mode;
        mode_t folder_mode;
        std::string image;
        std::string out;
        int status;
    };
    const std::string needs_repair = bytes({0x10, 0x20, 0x30, 0x40, 0x50});
    const Case cases[] = {
        // Writing is needed only for a repair.
        {"read-only valid image", 0444, 0777, kValidImage, "Checksums equal:3F7=3F7\r\n", 0},
        {"read-only image that needs a repair", 0444, 0777, needs_repair,
         "Fixing...\r\nCan't write images/disk.scl\r\n", 1},
        {"unreadable image", 0000, 0777, kValidImage, "Can't read images/disk.scl\r\n", 1},
        {"write-only image", 0200, 0777, needs_repair, "Can't read images/disk.scl\r\n", 1},
        {"image in a folder that cannot be entered", 0666, 0700, needs_repair,
         "Can't read images/disk.scl\r\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        std::string images = folder / "images";
        ASSERT_EQ(mkdir(images.c_str(), 0777), 0);
        write_file(images + "/disk.scl", c.image);
        ASSERT_EQ(chmod((images + "/disk.scl").c_str(), c.image_mode), 0);
        ASSERT_EQ(chmod(images.c_str(), c.folder_mode), 0);

        RunOptions options = quick();
        options.working_folder = folder.path();
        RunResult result = test_support::run_as_nobody(kProgram, {"images/disk.scl"}, options);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_TRUE(same_bytes(read_file(images + "/disk.scl"), c.image));
    }
}

// A full disk: the trailer cannot be appended, or only part of it; the image stays as it was.
TEST(SumsealProgram, FailedAppendLeavesTheImageAsItWas) {
    // 1000 bytes whose last four are not the sum of the rest.
    const std::string image = test_support::pattern(996) + bytes({0x00, 0x00, 0x00, 0x00});
    std::uint32_t sum = 0;
    for (char byte : image) {
        sum += static_cast<unsigned char>(byte);
    }
    ASSERT_NE(sum, 0u);
    const std::string repaired =
        image + std::string{static_cast<char>(sum), static_cast<char>(sum >> 8),
                            static_cast<char>(sum >> 16), static_cast<char>(sum >> 24)};

    struct Case {
        long long limit;  // the largest file the run may write
        std::string out;
        int status;
        std::string after;
    };
    const Case cases[] = {
        {1000, "Fixing...\r\nCan't write disk.scl\r\n", 1, image},  // no byte fits
        {1002, "Fixing...\r\nCan't write disk.scl\r\n", 1, image},  // half the trailer fits
        {1004, kRepaired, 0, repaired},                             // the whole trailer fits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        TempFolder folder;
        write_file(folder / "disk.scl", image);
        RunOptions options = quick();
        options.working_folder = folder.path();
        options.file_size_limit = c.limit;
        RunResult result = run_program(kProgram, {"disk.scl"}, options);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_TRUE(same_bytes(read_file(folder / "disk.scl"), c.after));
    }
}

}  // namespace
