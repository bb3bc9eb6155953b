// cellweave run as a process in a temporary folder: console text, exit status and files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cellweave/screen.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::file_exists;
using test_support::read_file;
using test_support::RunResult;
using test_support::TempFolder;
using test_support::write_file;

const std::string kProgram = CELLWEAVE_PROGRAM;

RunResult run_in(const TempFolder& folder, const std::vector<std::string>& arguments) {
    return test_support::run_program(kProgram, arguments, test_support::in_folder(folder.path()));
}

RunResult run_as_nobody_in(const TempFolder& folder, const std::vector<std::string>& arguments) {
    return test_support::run_as_nobody(kProgram, arguments, test_support::in_folder(folder.path()));
}

std::string reordered(const std::string& screen) {
    std::string result(screen.size(), '\0');
    for (std::size_t k = 0; k < screen.size(); ++k) {
        result[k] = screen[cellweave::source_index(k)];
    }
    return result;
}

TEST(Cellweave, WithoutParameterPrintsTheBannerAndTouchesNothing) {
    TempFolder folder;
    RunResult result = run_in(folder, {});
    EXPECT_EQ(result.out,
              "Lacework v0.1\r\npac optimisation utility\r\nUsage: cellweave.exe filename\r\n"
              "Onexit: filename.rec\r\n");
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(Cellweave, RefusesEveryOtherSizeAndWhatIsNoFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "folder.scr");
    struct Case {
        std::string name;
        int size;  // -1: no such file
    };
    const Case cases[] = {
        {"short.scr", 6143}, {"long.scr", 6145},  {"almost.scr", 6911}, {"over.scr", 6913},
        {"empty.scr", 0},    {"missing.scr", -1}, {"folder.scr", -1},   {"", -1},
    };
    for (const Case& c : cases) {
        if (c.size >= 0) {
            write_file(folder / c.name, test_support::pattern(static_cast<std::size_t>(c.size)));
        }
        RunResult result = run_in(folder, {c.name});
        EXPECT_EQ(result.out, "Wrong file " + c.name + "\r\n");
        EXPECT_EQ(result.exit_status, 1) << c.name;
        EXPECT_FALSE(file_exists(folder / (c.name + ".rec"))) << c.name;
    }
}

TEST(Cellweave, WritesTheReorderedScreenBesideTheInput) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "art");
    struct Case {
        std::string name;  // as given on the command line, relative to the folder
        std::size_t size;
    };
    const Case cases[] = {
        {"pic.scr", 6912},          // bitmap and attributes
        {"bitmap.scr", 6144},       // bitmap only
        {"a b,c \"q\".scr", 6912},  // spaces, a comma and quotes are part of the name
        {"art/-dash.scr", 6144},    // a path, and a leading dash
    };
    for (const Case& c : cases) {
        std::string screen = test_support::pattern(c.size, static_cast<unsigned>(c.size));
        write_file(folder / c.name, screen);
        RunResult result = run_in(folder, {c.name, "ignored-extra"});
        EXPECT_EQ(result.out, "Loading " + c.name + " " + std::to_string(c.size) + " bytes\r\n");
        EXPECT_EQ(result.exit_status, 0) << c.name;
        auto output = read_file(folder / (c.name + ".rec"));
        ASSERT_TRUE(output.has_value()) << c.name;
        EXPECT_EQ(*output, reordered(screen)) << c.name;
        EXPECT_EQ(output->substr(6143), screen.substr(6143)) << "last bitmap byte, attributes";
        EXPECT_EQ(read_file(folder / c.name), screen) << "the input is never changed";
    }
}

TEST(Cellweave, ReplacesAnOldOutputAndTakesItsOwnOutputAsInput) {
    TempFolder folder;
    std::string screen = test_support::pattern(6144, 3);
    write_file(folder / "pic.scr", screen);
    write_file(folder / "pic.scr.rec", std::string(10000, 'x'));
    ASSERT_EQ(run_in(folder, {"pic.scr"}).exit_status, 0);
    EXPECT_EQ(read_file(folder / "pic.scr.rec"), reordered(screen));

    RunResult again = run_in(folder, {"pic.scr.rec"});
    EXPECT_EQ(again.out, "Loading pic.scr.rec 6144 bytes\r\n");
    EXPECT_EQ(read_file(folder / "pic.scr.rec.rec"), reordered(reordered(screen)));
    EXPECT_NE(read_file(folder / "pic.scr.rec.rec"), screen);
}

TEST(Cellweave, ReportsAnOutputThatCannotBeCreated) {
    TempFolder folder;
    write_file(folder / "pic.scr", test_support::pattern(6912));
    std::filesystem::create_directory(folder / "pic.scr.rec");
    RunResult result = run_in(folder, {"pic.scr"});
    EXPECT_EQ(result.out, "Loading pic.scr 6912 bytes\r\nCan't create pic.scr.rec\r\n");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "pic.scr.rec"));
}

TEST(Cellweave, ReportsAFailedWriteAndLeavesTheDeviceAlone) {
    // The output name leads to /dev/full: every write fails at the flush.
    TempFolder folder;
    write_file(folder / "pic.scr", test_support::pattern(6912));
    std::filesystem::create_symlink("/dev/full", folder / "pic.scr.rec");
    RunResult result = run_in(folder, {"pic.scr"});
    EXPECT_EQ(result.out, "Loading pic.scr 6912 bytes\r\nCan't write pic.scr.rec\r\n");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "pic.scr.rec"));
    EXPECT_TRUE(file_exists("/dev/full"));
}

TEST(Cellweave, PermissionsAsAnUnprivilegedUser) {
    TempFolder folder;
    std::string screen = test_support::pattern(6912, 9);
    write_file(folder / "readonly.scr", screen);
    chmod((folder / "readonly.scr").c_str(), 0444);
    write_file(folder / "secret.scr", screen);
    chmod((folder / "secret.scr").c_str(), 0000);

    RunResult read_only = run_as_nobody_in(folder, {"readonly.scr"});
    EXPECT_EQ(read_only.out, "Loading readonly.scr 6912 bytes\r\n");
    EXPECT_EQ(read_only.exit_status, 0);
    EXPECT_EQ(read_file(folder / "readonly.scr.rec"), reordered(screen));

    RunResult unreadable = run_as_nobody_in(folder, {"secret.scr"});
    EXPECT_EQ(unreadable.out, "Can't read secret.scr\r\n");
    EXPECT_EQ(unreadable.exit_status, 1);
    EXPECT_FALSE(file_exists(folder / "secret.scr.rec"));

    // A folder the user may read but not write: the output cannot be created.
    std::filesystem::create_directory(folder / "locked");
    write_file(folder / "locked/pic.scr", screen);
    chmod((folder / "locked").c_str(), 0555);
    RunResult locked = run_as_nobody_in(folder, {"locked/pic.scr"});
    EXPECT_EQ(locked.out,
              "Loading locked/pic.scr 6912 bytes\r\nCan't create locked/pic.scr.rec\r\n");
    EXPECT_EQ(locked.exit_status, 1);
}

}  // namespace
