// Names that lead somewhere unexpected (devices, FIFOs, dangling links, read-only folders), and
// standard descriptors closed at start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>

#include "tests/faults/fault_support.h"

namespace fault_test {
namespace {

namespace fs = std::filesystem;
using test_support::file_exists;
using test_support::pattern;
using test_support::read_file;
using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempFolder;
using test_support::write_file;

std::set<std::string> entries(const TempFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

bool is_character_device(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISCHR(status.st_mode);
}

// /dev/zero never ends and a FIFO with a writer has bytes to give: a tool that read either
// would hang or fill its memory. Each is refused by name at once, and no device is removed.
TEST(HostileFiles, DevicesAndFifosAreRefusedUnread) {
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::string out;
    };
    const Case cases[] = {
        {kCellweave, {"/dev/zero"}, "Wrong file /dev/zero\r\n"},
        {kCellweave, {"/dev/full"}, "Wrong file /dev/full\r\n"},
        {kCellweave, {"fifo"}, "Wrong file fifo\r\n"},
        {kBlockbind, {"out.tap", "/dev/zero"}, "Can't read /dev/zero\r\n"},
        {kBlockbind, {"out.tap", "fifo"}, "Can't read fifo\r\n"},
        {kSumseal, {"/dev/zero"}, "Can't read /dev/zero\r\n"},
        {kSumseal, {"/dev/full"}, "Can't read /dev/full\r\n"},
        {kSumseal, {"fifo"}, "Can't read fifo\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.arguments.back());
        TempFolder folder;
        ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0666), 0);
        int writer = open((folder / "fifo").c_str(), O_RDWR | O_NONBLOCK);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(write(writer, "bytes", 5), 5);
        RunOptions options = in_folder(folder.path());
        options.timeout_seconds = 10;
        RunResult result = test_support::run_program(c.program, c.arguments, options);
        close(writer);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.exit_status, 1);
        // A run that read /dev/zero into memory would hold far more than this.
        EXPECT_LT(result.peak_rss_kb, 64 * 1024);
        EXPECT_EQ(entries(folder), std::set<std::string>{"fifo"});
    }
    EXPECT_TRUE(is_character_device("/dev/zero"));
    EXPECT_TRUE(is_character_device("/dev/full"));
}

TEST(HostileFiles, DanglingLinksAreMissingInputsAndCreateNothing) {
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::string out;
    };
    const Case cases[] = {
        {kCellweave, {"gone"}, "Wrong file gone\r\n"},
        {kBlockbind, {"out.tap", "gone"}, "File gone not found\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        TempFolder folder;
        fs::create_symlink("nowhere", folder / "gone");
        RunResult result =
            test_support::run_program(c.program, c.arguments, in_folder(folder.path()));
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(entries(folder), std::set<std::string>{"gone"});
    }
}

// The output name is a link to a file that does not exist yet: the image is made where the link
// leads, as with any other program that writes through a link.
TEST(HostileFiles, AnOutputLinkIsWrittenThrough) {
    TempFolder folder;
    write_file(folder / "a.bin", "abc");
    fs::create_symlink("image.tap", folder / "out.tap");
    RunResult result =
        test_support::run_program(kBlockbind, {"out.tap", "a.bin"}, in_folder(folder.path()));
    EXPECT_EQ(result.out, "add file a.bin 3\r\n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(fs::is_symlink(folder / "out.tap"));
    EXPECT_EQ(read_file(folder / "image.tap"), tap_block("abc"));
}

// sumseal only appends to the image itself, so a folder it may not write does not matter.
TEST(HostileFiles, SumsealRepairsAnImageInAReadOnlyFolder) {
    TempFolder folder;
    const std::string image = pattern(100, 3) + std::string(4, '\0');
    ASSERT_EQ(mkdir((folder / "ro").c_str(), 0777), 0);
    write_file(folder / "ro/disk.scl", image);
    ASSERT_EQ(chmod((folder / "ro/disk.scl").c_str(), 0666), 0);
    ASSERT_EQ(chmod((folder / "ro").c_str(), 0555), 0);
    RunResult result =
        test_support::run_as_nobody(kSumseal, {"ro/disk.scl"}, in_folder(folder.path()));
    EXPECT_EQ(result.out, "Fixing...\r\ndone! press any key.\r\n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(read_file(folder / "ro/disk.scl"), repaired(image));
    EXPECT_EQ(fs::directory_iterator(folder / "ro")->path().filename(), "disk.scl");
}

// NAME.rec is a link to the screen itself. Creating the output would empty the screen before a
// byte of it is written back (and a full disk would then leave nothing of it): the run is refused.
TEST(HostileFiles, CellweaveNeverWritesOverItsScreen) {
    const std::string screen = pattern(6912, 16);
    struct Case {
        const char* title;
        std::function<void(const TempFolder&)> link;
        long long file_size_limit;
    };
    const Case cases[] = {
        {"a hard link",
         [](const TempFolder& folder) {
             ASSERT_EQ(link((folder / "pic.scr").c_str(), (folder / "pic.scr.rec").c_str()), 0);
         },
         -1},
        {"a symbolic link",
         [](const TempFolder& folder) { fs::create_symlink("pic.scr", folder / "pic.scr.rec"); },
         -1},
        {"a hard link on a full disk",
         [](const TempFolder& folder) {
             ASSERT_EQ(link((folder / "pic.scr").c_str(), (folder / "pic.scr.rec").c_str()), 0);
         },
         1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        write_file(folder / "pic.scr", screen);
        c.link(folder);
        RunOptions options = in_folder(folder.path());
        options.file_size_limit = c.file_size_limit;
        RunResult result = test_support::run_program(kCellweave, {"pic.scr"}, options);
        EXPECT_EQ(result.out, "Loading pic.scr 6912 bytes\r\nCan't create pic.scr.rec\r\n");
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_TRUE(read_file(folder / "pic.scr") == screen) << "the screen was written over";
        EXPECT_EQ(entries(folder), (std::set<std::string>{"pic.scr", "pic.scr.rec"}));
    }
}

// A descriptor closed at start would be handed to the first file the tool opens, and console
// lines would land in that file. Each tool's files must come out exactly as with all three open.
TEST(HostileFiles, ClosedStandardDescriptorsReachNoFile) {
    const std::string screen = pattern(6912, 11);
    const std::string image = pattern(200, 12) + std::string(4, '\0');
    struct Case {
        const char* title;
        std::string program;
        std::vector<std::string> arguments;
        bool close_input, close_output, close_error;
        std::string out;  // when standard output is open
        int status;
        std::string file;      // the file written
        std::string contents;  // its bytes after the run
    };
    const std::string loading = "Loading pic.scr 6912 bytes\r\n";
    const std::string added = "add file pic.scr 6912\r\nadd file disk.scl 204\r\n";
    const std::string fixed = "Fixing...\r\ndone! press any key.\r\n";
    const std::string tap = tap_block(screen) + tap_block(image);
    const Case cases[] = {
        {"cellweave <&-",
         kCellweave,
         {"pic.scr"},
         true,
         false,
         false,
         loading,
         0,
         "pic.scr.rec",
         rewoven(screen)},
        {"cellweave >&-",
         kCellweave,
         {"pic.scr"},
         false,
         true,
         false,
         "",
         0,
         "pic.scr.rec",
         rewoven(screen)},
        {"cellweave 2>&-",
         kCellweave,
         {"pic.scr"},
         false,
         false,
         true,
         loading,
         0,
         "pic.scr.rec",
         rewoven(screen)},
        {"cellweave, all three",
         kCellweave,
         {"pic.scr"},
         true,
         true,
         true,
         "",
         0,
         "pic.scr.rec",
         rewoven(screen)},
        {"blockbind <&-",
         kBlockbind,
         {"out.tap", "pic.scr", "disk.scl"},
         true,
         false,
         false,
         added,
         0,
         "out.tap",
         tap},
        {"blockbind 2>&-",
         kBlockbind,
         {"out.tap", "pic.scr", "disk.scl"},
         false,
         false,
         true,
         added,
         0,
         "out.tap",
         tap},
        {"blockbind, all three",
         kBlockbind,
         {"out.tap", "pic.scr", "disk.scl"},
         true,
         true,
         true,
         "",
         0,
         "out.tap",
         tap},
        {"sumseal >&-",
         kSumseal,
         {"disk.scl"},
         false,
         true,
         false,
         "",
         0,
         "disk.scl",
         repaired(image)},
        {"sumseal 2>&-",
         kSumseal,
         {"disk.scl"},
         false,
         false,
         true,
         fixed,
         0,
         "disk.scl",
         repaired(image)},
        {"sumseal, all three",
         kSumseal,
         {"disk.scl"},
         true,
         true,
         true,
         "",
         0,
         "disk.scl",
         repaired(image)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        write_file(folder / "pic.scr", screen);
        write_file(folder / "disk.scl", image);
        RunOptions options = in_folder(folder.path());
        options.close_standard_input = c.close_input;
        options.close_standard_output = c.close_output;
        options.close_standard_error = c.close_error;
        RunResult result = test_support::run_program(c.program, c.arguments, options);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(read_file(folder / c.file), c.contents);
        std::set<std::string> expected = {"pic.scr", "disk.scl", c.file};
        EXPECT_EQ(entries(folder), expected);
        if (c.file != "pic.scr") {
            EXPECT_EQ(read_file(folder / "pic.scr"), screen);
        }
        if (c.file != "disk.scl") {
            EXPECT_EQ(read_file(folder / "disk.scl"), image);
        }
    }
}

}  // namespace
}  // namespace fault_test
