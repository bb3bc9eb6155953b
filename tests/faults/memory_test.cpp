// Memory: valgrind's memcheck over each console tool, every kind of leak counted as an error
// (a block still reachable at exit included, and so a signal thread not joined), and blockbind's
// peak size with many inputs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/faults/fault_support.h"

namespace fault_test {
namespace {

using test_support::pattern;
using test_support::read_file;
using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempFolder;
using test_support::write_file;

TEST(Memory, EachConsoleToolRunsCleanUnderValgrind) {
    if (test_support::kSanitizedBuild) {
        GTEST_SKIP() << "valgrind cannot run programs built with AddressSanitizer";
    }
    struct Case {
        const char* title;
        std::string program;
        std::vector<std::string> arguments;
        long long file_size_limit;  // negative: none
        std::string out;
        int status;
    };
    const Case cases[] = {
        {"cellweave writes its .rec",
         kCellweave,
         {"pic.scr"},
         -1,
         "Loading pic.scr 6912 bytes\r\n",
         0},
        {"cellweave shows its banner",
         kCellweave,
         {},
         -1,
         "Lacework v0.1\r\npac optimisation utility\r\nUsage: cellweave.exe filename\r\n"
         "Onexit: filename.rec\r\n",
         2},
        // Both working blocks are held when the write fails.
        {"cellweave on a full disk",
         kCellweave,
         {"pic.scr"},
         1000,
         "Loading pic.scr 6912 bytes\r\nCan't write pic.scr.rec\r\n",
         1},
        {"cellweave refuses a size", kCellweave, {"disk.scl"}, -1, "Wrong file disk.scl\r\n", 1},
        {"blockbind joins",
         kBlockbind,
         {"out.tap", "pic.scr", "disk.scl"},
         -1,
         "add file pic.scr 6912\r\nadd file disk.scl 9\r\n",
         0},
        {"sumseal repairs", kSumseal, {"disk.scl"}, -1, "Fixing...\r\ndone! press any key.\r\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        write_file(folder / "pic.scr", pattern(6912, 21));
        write_file(folder / "disk.scl", pattern(9, 22));
        std::vector<std::string> arguments = {"--quiet",
                                              "--error-exitcode=99",
                                              "--leak-check=full",
                                              "--show-leak-kinds=all",
                                              "--errors-for-leak-kinds=all",
                                              c.program};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        RunOptions options = in_folder(folder.path());
        options.timeout_seconds = 120;
        options.file_size_limit = c.file_size_limit;
        RunResult result = test_support::run_program("/usr/bin/valgrind", arguments, options);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.exit_status, c.status);
    }
}

// blockbind holds one input at a time: 10,000 inputs of 65534 bytes (655 MB in all) need no more
// memory than 10 of them. The output is /dev/null, so nothing of that size reaches the disk.
// The peak counts from the test's own fork, so both runs start from the same floor.
TEST(Memory, BlockbindStaysFlatOverTenThousandInputs) {
    TempFolder folder;
    write_file(folder / "a.bin", pattern(65534, 31));
    auto peak_for = [&](int inputs) {
        std::vector<std::string> arguments = {"/dev/null"};
        arguments.insert(arguments.end(), static_cast<std::size_t>(inputs), "a.bin");
        RunOptions options = in_folder(folder.path());
        options.timeout_seconds = 120;
        // AddressSanitizer, where it is built in, would hold the freed buffers in quarantine.
        const char* asan = std::getenv("ASAN_OPTIONS");
        options.environment.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                      ":quarantine_size_mb=0");
        RunResult result = test_support::run_program(kBlockbind, arguments, options);
        EXPECT_EQ(result.exit_status, 0) << inputs << " inputs";
        EXPECT_EQ(result.out.size(), inputs * std::string("add file a.bin 65534\r\n").size());
        return result.peak_rss_kb;
    };
    const long few = peak_for(10);
    const long many = peak_for(10000);
    RecordProperty("peak_rss_kb_10_inputs", std::to_string(few));
    RecordProperty("peak_rss_kb_10000_inputs", std::to_string(many));
    // The margin covers the 10,000 names themselves (the arguments and their copies, under 1 MB
    // here, 6 MB under AddressSanitizer with its redzones); holding even 1 input in 100 would add
    // 6.5 MB, and holding them all 655 MB.
    const long margin_kb = test_support::kSanitizedBuild ? 12 * 1024 : 2 * 1024;
    EXPECT_LE(many, few + margin_kb) << "10 inputs: " << few << " KiB, 10,000: " << many << " KiB";
}

}  // namespace
}  // namespace fault_test
