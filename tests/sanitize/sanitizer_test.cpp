// The sanitizer build: every kind of report ends the process with status 86 (sanitize/
// options.cpp), which no program uses, and each program built here carries those options, so
// an end-to-end test that meets a report sees a status it does not expect.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr int kReportStatus = 86;

[[gnu::noinline]] void read_past_a_block() {
    int* block = new int[2];
    volatile int index = 2;
    volatile int value = block[index];
    (void)value;
    delete[] block;
}

[[gnu::noinline]] void overflow_a_signed_int() {
    volatile int largest = 0x7FFFFFFF;
    volatile int sum = largest + 1;
    (void)sum;
}

[[gnu::noinline]] void lose_a_block() {
    volatile int* block = new int[4];
    block[0] = 1;
    block = nullptr;
}

TEST(SanitizerBuild, EveryReportEndsTheProcessWithItsOwnStatus) {
    EXPECT_EXIT(read_past_a_block(), testing::ExitedWithCode(kReportStatus),
                "heap-buffer-overflow");
    EXPECT_EXIT(overflow_a_signed_int(), testing::ExitedWithCode(kReportStatus),
                "signed integer overflow");
    // The leak check runs at exit, so the run ends with a status of 0 that the report replaces.
    EXPECT_EXIT(
        {
            lose_a_block();
            std::exit(0);
        },
        testing::ExitedWithCode(kReportStatus), "detected memory leaks");
}

TEST(SanitizerBuild, TheProgramsUnderTestCarryTheSanitizersAndTheirOptions) {
    std::vector<std::string> programs;
    std::stringstream list(PROGRAMS);
    for (std::string program; std::getline(list, program, ':');) {
        programs.push_back(program);
    }
    ASSERT_FALSE(programs.empty());
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        test_support::TempFolder folder;
        test_support::RunOptions options = test_support::in_folder(folder.path());
        // help=1 lists the options in force; the program then runs as usual (burstmap headless).
        options.environment = {"ASAN_OPTIONS=help=1", "SDL_VIDEODRIVER=dummy"};
        test_support::RunResult result = test_support::run_program(program, {}, options);
        EXPECT_NE(result.err.find("Override the program exit status if the tool found an error "
                                  "(Current Value: 86)"),
                  std::string::npos)
            << result.err.substr(0, 400);
        EXPECT_NE(result.err.find("Enable memory leak detection. (Current Value: true)"),
                  std::string::npos);
    }
}

}  // namespace
