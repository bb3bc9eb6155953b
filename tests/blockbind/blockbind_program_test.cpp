// blockbind run as a process in a temporary folder: console text, exit status, the image byte for
// byte (and as tzxlist reads it), and every other file in the folder left as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <vector>

#include "tests/blockbind/faults.h"
#include "tests/support/build.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using test_support::bytes;
using test_support::file_exists;
using test_support::pattern;
using test_support::read_file;
using test_support::run_program;
using test_support::TempFolder;
using test_support::write_file;

const std::string kProgram = BLOCKBIND_PROGRAM;
const std::string kFaultLibrary = BLOCKBIND_FAULTS;
const std::string kTzxlist = "/usr/bin/tzxlist";

const std::string kUsage =
    "Bindery 0.1\r\n"
    "Usage  : blockbind.exe filename.tap filename1,[filename2]...,[filenameN]\r\n"
    "Onexit: filename.tap\r\n";

// One TAP block as the image must hold it: length word (data + check byte, little-endian), the
// data, and the XOR of the data.
std::string block(const std::string& data) {
    const std::size_t length = data.size() + 1;
    std::string result{static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
    result += data;
    char check = 0;
    for (char byte : data) {
        check = static_cast<char>(check ^ byte);
    }
    return result + check;
}

std::string image_of(const std::vector<std::string>& blocks) {
    std::string result;
    for (const auto& data : blocks) {
        result += block(data);
    }
    return result;
}

// tzxlist, an independent TAP reader, must find exactly these blocks, each with a check byte
// that passes.
void expect_tzxlist_reads(const std::string& image_path, const std::vector<std::string>& blocks) {
    auto result = run_program(kTzxlist, {image_path});
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::vector<std::size_t> lengths;
    std::vector<std::string> checks;
    std::istringstream listing(result.out);
    std::smatch match;
    for (std::string line; std::getline(listing, line);) {
        static const std::regex length_line(R"(^  Block length: (\d+) bytes$)");
        static const std::regex check_line(R"(^  Checksum: 0x[0-9a-f]{2} \((\w+)\)$)");
        if (std::regex_match(line, match, length_line)) {
            lengths.push_back(std::stoul(match[1]));
        } else if (std::regex_match(line, match, check_line)) {
            checks.push_back(match[1]);
        }
    }
    std::vector<std::size_t> expected_lengths;
    for (const auto& data : blocks) {
        expected_lengths.push_back(data.size() + 1);
    }
    EXPECT_EQ(lengths, expected_lengths) << result.out;
    EXPECT_EQ(checks, std::vector<std::string>(blocks.size(), "PASS")) << result.out;
}

// The image must be exactly these blocks, for us and for tzxlist.
void expect_image(const std::string& path, const std::vector<std::string>& blocks) {
    auto image = read_file(path);
    ASSERT_TRUE(image.has_value()) << path << " missing";
    EXPECT_EQ(*image, image_of(blocks));
    expect_tzxlist_reads(path, blocks);
}

// Every entry of the folder (not recursive): its mode and size, and a hash of a file's bytes.
std::map<std::string, std::string> snapshot(const TempFolder& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        struct stat status {};
        lstat(entry.path().c_str(), &status);
        std::string description =
            "mode " + std::to_string(status.st_mode) + " size " + std::to_string(status.st_size);
        if (S_ISREG(status.st_mode) && status.st_size < 1 << 20) {
            description +=
                " hash " +
                std::to_string(std::hash<std::string>{}(read_file(entry.path()).value_or("?")));
        }
        entries[entry.path().filename()] = description;
    }
    return entries;
}

test_support::RunOptions in_folder(const TempFolder& folder) {
    test_support::RunOptions options = test_support::in_folder(folder.path());
    options.timeout_seconds = 30;
    return options;
}

struct File {
    std::string name;  // a name ending in "/" is a folder
    std::string content = {};
    mode_t mode = 0644;
};

enum class Output {
    kImage,      // the output is the image of `blocks`
    kUnchanged,  // nothing in the folder changed: the output was not made or is as before
    kRemoved,    // the output is gone, even where one existed before the run
};

enum class Runner {
    kPlain,
    kUnprivileged,   // as user and group 65534, whom file modes apply to
    kSmallFiles,     // no file may grow beyond 1000 bytes (writes fail with EFBIG)
    kInjectedFaults  // faults.h: a refused buffer, a shrinking file
};

struct Case {
    const char* title;
    std::vector<File> files;
    std::vector<std::string> arguments;  // the first one names the output, if any
    std::string console;
    int status;
    Output output;
    std::vector<std::string> blocks = {};
    Runner runner = Runner::kPlain;
    std::function<void(const TempFolder&)> prepare = {};  // special files
};

test_support::RunResult run_case(const Case& c, const TempFolder& folder) {
    test_support::RunOptions options = in_folder(folder);
    switch (c.runner) {
        case Runner::kPlain:
            break;
        case Runner::kUnprivileged:
            return test_support::run_as_nobody(kProgram, c.arguments, options);
        case Runner::kSmallFiles:
            options.file_size_limit = 1000;
            break;
        case Runner::kInjectedFaults:
            options.environment.push_back("LD_PRELOAD=" + kFaultLibrary);
            break;
    }
    return run_program(kProgram, c.arguments, options);
}

constexpr const char* kNoFaultLibrary =
    "the sanitizer build's allocator takes calloc, so the fault library cannot refuse a block";

void check_case(const Case& c) {
    SCOPED_TRACE(c.title);
    if (c.runner == Runner::kInjectedFaults && test_support::kSanitizedBuild) {
        GTEST_SKIP() << c.title << ": " << kNoFaultLibrary;
    }
    TempFolder folder;
    for (const File& file : c.files) {
        if (file.name.ends_with('/')) {
            ASSERT_EQ(mkdir((folder / file.name).c_str(), file.mode == 0644 ? 0755 : file.mode), 0);
        } else {
            write_file(folder / file.name, file.content);
            chmod((folder / file.name).c_str(), file.mode);
        }
    }
    if (c.prepare) {
        c.prepare(folder);
    }
    auto before = snapshot(folder);

    auto result = run_case(c, folder);

    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_EQ(result.out, c.console);
    EXPECT_EQ(result.err, "");
    auto after = snapshot(folder);
    const std::string output = c.arguments.empty() ? "" : c.arguments.front();
    if (c.output == Output::kImage) {
        expect_image(folder / output, c.blocks);
        after.erase(output);
        before.erase(output);
    } else if (c.output == Output::kRemoved) {
        EXPECT_FALSE(file_exists(folder / output)) << output << " left behind";
        before.erase(output);
    }
    // Inputs are never created, changed or removed; nothing else appears.
    EXPECT_EQ(after, before);
}

const std::string kA = bytes({0xFF, 0x01, 0x02});

TEST(Blockbind, ExampleImageByteForByte) {
    TempFolder folder;
    write_file(folder / "a.bin", kA);
    write_file(folder / "empty.bin", "");
    write_file(folder / "cancel.bin", bytes({0x5A, 0x5A}));
    auto result =
        run_program(kProgram, {"out.tap", "a.bin", "empty.bin", "cancel.bin"}, in_folder(folder));
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "add file a.bin 3\r\nadd file empty.bin 0\r\nadd file cancel.bin 2\r\n");
    EXPECT_EQ(read_file(folder / "out.tap"),
              bytes({
                  0x04, 0x00, 0xFF, 0x01, 0x02, 0xFC,  // word 4, FF 01 02, check FC
                  0x01, 0x00, 0x00,                    // word 1, no data, check 00
                  0x03, 0x00, 0x5A, 0x5A, 0x00,        // word 3, 5A 5A, check 00
              }));
    expect_tzxlist_reads(folder / "out.tap", {kA, "", bytes({0x5A, 0x5A})});
}

TEST(Blockbind, JoinsInputs) {
    const std::string big = pattern(65534);
    const Case cases[] = {
        {"one input",
         {{"a.bin", kA}},
         {"out.tap", "a.bin"},
         "add file a.bin 3\r\n",
         0,
         Output::kImage,
         {kA}},
        {"command-line order, nothing between blocks",
         {{"a.bin", kA}, {"b.bin", pattern(300)}},
         {"out.tap", "b.bin", "a.bin"},
         "add file b.bin 300\r\nadd file a.bin 3\r\n",
         0,
         Output::kImage,
         {pattern(300), kA}},
        {"the same input twice",
         {{"a.bin", kA}},
         {"out.tap", "a.bin", "a.bin"},
         "add file a.bin 3\r\nadd file a.bin 3\r\n",
         0,
         Output::kImage,
         {kA, kA}},
        {"an empty input",
         {{"e.bin", ""}},
         {"out.tap", "e.bin"},
         "add file e.bin 0\r\n",
         0,
         Output::kImage,
         {""}},
        {"an existing output is replaced",
         {{"a.bin", kA}, {"out.tap", pattern(5000)}},
         {"out.tap", "a.bin"},
         "add file a.bin 3\r\n",
         0,
         Output::kImage,
         {kA}},
        {"an empty parameter ends the list",
         {{"a.bin", kA}, {"b.bin", pattern(10)}},
         {"out.tap", "a.bin", "", "b.bin", "missing.bin"},
         "add file a.bin 3\r\n",
         0,
         Output::kImage,
         {kA}},
        {"an empty parameter first: an empty image",
         {},
         {"out.tap", ""},
         "",
         0,
         Output::kImage,
         {}},
        {"a comma is part of the name",
         {{"a.bin,b.bin", pattern(7)}, {"a.bin", kA}, {"b.bin", kA}},
         {"out.tap", "a.bin,b.bin"},
         "add file a.bin,b.bin 7\r\n",
         0,
         Output::kImage,
         {pattern(7)}},
        {"spaces in names",
         {{"my file.bin", kA}},
         {"my image.tap", "my file.bin"},
         "add file my file.bin 3\r\n",
         0,
         Output::kImage,
         {kA}},
        {"screen sizes",
         {{"s6143", pattern(6143)}, {"s6144", pattern(6144)}, {"s6912", pattern(6912)}},
         {"out.tap", "s6143", "s6144", "s6912"},
         "add file s6143 6143\r\nadd file s6144 6144\r\nadd file s6912 6912\r\n",
         0,
         Output::kImage,
         {pattern(6143), pattern(6144), pattern(6912)}},
        {"the largest input: length word FF FF",
         {{"big.bin", big}},
         {"out.tap", "big.bin"},
         "add file big.bin 65534\r\n",
         0,
         Output::kImage,
         {big}},
        {"largest inputs beyond the write buffer",
         {{"big.bin", big}, {"a.bin", kA}},
         {"out.tap", "big.bin", "a.bin", "big.bin"},
         "add file big.bin 65534\r\nadd file a.bin 3\r\nadd file big.bin 65534\r\n",
         0,
         Output::kImage,
         {big, kA, big}},
        {"names are paths, passed on as given",
         {{"sub/"}, {"a.bin", kA}},
         {"sub/out.tap", "sub/../a.bin"},
         "add file sub/../a.bin 3\r\n",
         0,
         Output::kImage,
         {kA}},
    };
    for (const Case& c : cases) {
        check_case(c);
    }
}

TEST(Blockbind, ShowsUsage) {
    const Case cases[] = {
        {"no parameter", {}, {}, kUsage, 2, Output::kUnchanged},
        {"only the output", {}, {"out.tap"}, kUsage, 2, Output::kUnchanged},
        {"only an empty parameter", {}, {""}, kUsage, 2, Output::kUnchanged},
    };
    for (const Case& c : cases) {
        check_case(c);
    }
}

TEST(Blockbind, RefusesInputsBeforeMakingTheOutput) {
    const std::string old_image = block(kA);
    const Case cases[] = {
        {"a missing input is not created",
         {{"out.tap", old_image}},
         {"out.tap", "missing.bin"},
         "File missing.bin not found\r\n",
         1,
         Output::kUnchanged},
        {"the first fault wins, after good inputs",
         {{"a.bin", kA}, {"big.bin", pattern(65535)}},
         {"out.tap", "a.bin", "missing.bin", "big.bin"},
         "File missing.bin not found\r\n",
         1,
         Output::kUnchanged},
        {"a comma-joined name that does not exist",
         {{"a.bin", kA}, {"b.bin", kA}},
         {"out.tap", "a.bin,b.bin"},
         "File a.bin,b.bin not found\r\n",
         1,
         Output::kUnchanged},
        {"a quoted name with spaces, missing",
         {},
         {"out.tap", "my file.bin"},
         "File my file.bin not found\r\n",
         1,
         Output::kUnchanged},
        {"one byte too big",
         {{"big.bin", pattern(65535)}, {"out.tap", old_image}},
         {"out.tap", "big.bin"},
         "File big.bin is too big (65535 bytes, 65534 at most)\r\n",
         1,
         Output::kUnchanged},
        {"too big by the full 64-bit length (low 32 bits: 3)",
         {},
         {"out.tap", "huge.bin"},
         "File huge.bin is too big (4294967299 bytes, 65534 at most)\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kPlain,
         [](const TempFolder& folder) {
             write_file(folder / "huge.bin", "");
             ASSERT_EQ(truncate((folder / "huge.bin").c_str(), (1LL << 32) + 3), 0);
         }},
    };
    for (const Case& c : cases) {
        check_case(c);
    }
}

TEST(Blockbind, RefusesUnreadableInputsAndOutputs) {
    const std::string old_image = block(kA);
    const Case cases[] = {
        {"a folder", {{"sub/"}}, {"out.tap", "sub"}, "Can't read sub\r\n", 1, Output::kUnchanged},
        {"a device",
         {},
         {"out.tap", "/dev/null"},
         "Can't read /dev/null\r\n",
         1,
         Output::kUnchanged},
        {"a FIFO without a writer does not hold the run",
         {},
         {"out.tap", "fifo"},
         "Can't read fifo\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kPlain,
         [](const TempFolder& folder) { ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0666), 0); }},
        {"the existing output itself",
         {{"a.bin", kA}, {"out.tap", old_image}},
         {"out.tap", "a.bin", "out.tap"},
         "Can't read out.tap\r\n",
         1,
         Output::kUnchanged},
        {"the output's name, no output yet",
         {{"a.bin", kA}},
         {"out.tap", "a.bin", "out.tap"},
         "Can't read out.tap\r\n",
         1,
         Output::kUnchanged},
        {"a hard link to the output",
         {{"out.tap", old_image}},
         {"out.tap", "hard.bin"},
         "Can't read hard.bin\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kPlain,
         [](const TempFolder& folder) {
             ASSERT_EQ(link((folder / "out.tap").c_str(), (folder / "hard.bin").c_str()), 0);
         }},
        {"a symbolic link to the output",
         {{"out.tap", old_image}},
         {"out.tap", "soft.bin"},
         "Can't read soft.bin\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kPlain,
         [](const TempFolder& folder) {
             ASSERT_EQ(symlink("out.tap", (folder / "soft.bin").c_str()), 0);
         }},
        {"an output that cannot be created: a folder",
         {{"a.bin", kA}, {"sub/"}},
         {"sub", "a.bin"},
         "Can't create sub\r\n",
         1,
         Output::kUnchanged},
        {"an output in a missing folder",
         {{"a.bin", kA}},
         {"nowhere/out.tap", "a.bin"},
         "Can't create nowhere/out.tap\r\n",
         1,
         Output::kUnchanged},
        {"an empty output name",
         {{"a.bin", kA}},
         {"", "a.bin"},
         "Can't create \r\n",
         1,
         Output::kUnchanged},
        {"an empty output name and no input",
         {},
         {"", ""},
         "Can't create \r\n",
         1,
         Output::kUnchanged},
    };
    for (const Case& c : cases) {
        check_case(c);
    }
}

TEST(Blockbind, RemovesTheOutputAfterALateFailure) {
    const std::string old_image = block(kA);
    const std::string big = pattern(65534);
    const Case cases[] = {
        {"a buffer that cannot be had",
         {{"a.bin", kA},
          {"refused.bin", pattern(blockbind_faults::kRefusedSize)},
          {"out.tap", old_image}},
         {"out.tap", "a.bin", "refused.bin", "a.bin"},
         "add file a.bin 3\r\nCouldn't allocate the requested memory!\r\n",
         1,
         Output::kRemoved,
         {},
         Runner::kInjectedFaults},
        {"an empty input needs no buffer",
         {{"e.bin", ""}},
         {"out.tap", "e.bin"},
         "add file e.bin 0\r\n",
         0,
         Output::kImage,
         {""},
         Runner::kInjectedFaults},
        {"a short read",
         {{"a.bin", kA}, {"shrinks.bin", pattern(blockbind_faults::kShrinkingSize)}},
         {"out.tap", "a.bin", "shrinks.bin"},
         "add file a.bin 3\r\nCan't read shrinks.bin\r\n",
         1,
         Output::kRemoved,
         {},
         Runner::kInjectedFaults},
        {"a write that fails when the output is closed",
         {{"a.bin", pattern(3000)}, {"out.tap", old_image}},
         {"out.tap", "a.bin"},
         "add file a.bin 3000\r\nCan't write out.tap\r\n",
         1,
         Output::kRemoved,
         {},
         Runner::kSmallFiles},
        {"a write that fails in the middle",
         {{"big.bin", big}},
         {"out.tap", "big.bin", "big.bin", "big.bin"},
         "add file big.bin 65534\r\nCan't write out.tap\r\n",
         1,
         Output::kRemoved,
         {},
         Runner::kSmallFiles},
        {"a full device is written, not removed",
         {{"a.bin", kA}},
         {"/dev/full", "a.bin"},
         "add file a.bin 3\r\nCan't write /dev/full\r\n",
         1,
         Output::kUnchanged},
    };
    for (const Case& c : cases) {
        check_case(c);
    }
}

TEST(Blockbind, LateFailureEmptiesAnOutputReachedThroughALink) {
    if (test_support::kSanitizedBuild) {
        GTEST_SKIP() << kNoFaultLibrary;
    }
    // The link is not removed, so the file it leads to must at least not keep a partial image.
    TempFolder folder;
    const std::string big = pattern(65534);
    write_file(folder / "big.bin", big);
    write_file(folder / "refused.bin", pattern(blockbind_faults::kRefusedSize));
    write_file(folder / "real.tap", block(kA));
    ASSERT_EQ(symlink("real.tap", (folder / "out.tap").c_str()), 0);
    auto options = in_folder(folder);
    options.environment.push_back("LD_PRELOAD=" + kFaultLibrary);
    auto result = run_program(kProgram, {"out.tap", "big.bin", "big.bin", "refused.bin"}, options);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out,
              "add file big.bin 65534\r\nadd file big.bin 65534\r\n"
              "Couldn't allocate the requested memory!\r\n");
    EXPECT_TRUE(fs::is_symlink(folder / "out.tap"));
    EXPECT_EQ(read_file(folder / "real.tap"), "");
}

TEST(Blockbind, ObeysFileModesAsAnUnprivilegedUser) {
    const std::string old_image = block(kA);
    const Case cases[] = {
        {"a read-only input is read, not changed",
         {{"a.bin", kA, 0444}, {"b.bin", pattern(99), 0444}},
         {"out.tap", "a.bin", "b.bin"},
         "add file a.bin 3\r\nadd file b.bin 99\r\n",
         0,
         Output::kImage,
         {kA, pattern(99)},
         Runner::kUnprivileged},
        {"an unreadable input",
         {{"a.bin", kA}, {"secret.bin", kA, 0200}, {"out.tap", old_image, 0666}},
         {"out.tap", "a.bin", "secret.bin"},
         "Can't read secret.bin\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kUnprivileged},
        {"an input in a folder that cannot be entered",
         {{"closed/", "", 0700}},
         {"out.tap", "closed/a.bin"},
         "Can't read closed/a.bin\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kUnprivileged},
        {"a read-only output",
         {{"a.bin", kA}, {"out.tap", old_image, 0444}},
         {"out.tap", "a.bin"},
         "Can't create out.tap\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kUnprivileged},
        {"an output in a read-only folder",
         {{"a.bin", kA}, {"ro/", "", 0555}},
         {"ro/out.tap", "a.bin"},
         "Can't create ro/out.tap\r\n",
         1,
         Output::kUnchanged,
         {},
         Runner::kUnprivileged},
    };
    for (const Case& c : cases) {
        check_case(c);
    }
}

// Starts blockbind in the folder with standard output on the given descriptor.
pid_t start_blockbind(const TempFolder& folder, const std::vector<std::string>& arguments,
                      int standard_output) {
    test_support::RunOptions options = in_folder(folder);
    options.standard_output_descriptor = standard_output;
    test_support::StartedChild started = test_support::start_child(kProgram, arguments, options);
    close(started.err_fd);
    return started.pid;
}

// The wait status of the child, which is killed if it has not ended within 30 seconds.
int wait_for(pid_t child) {
    if (std::optional<int> status = test_support::wait_status(child, 30)) {
        return *status;
    }
    ADD_FAILURE() << "blockbind did not end";
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST(Blockbind, ClosedStandardOutputDoesNotLandInTheImage) {
    TempFolder folder;
    write_file(folder / "a.bin", kA);
    auto options = in_folder(folder);
    options.close_standard_output = true;
    auto result = run_program(kProgram, {"out.tap", "a.bin"}, options);
    EXPECT_EQ(result.exit_status, 0);
    expect_image(folder / "out.tap", {kA});
}

TEST(Blockbind, ConsoleThatWentAwayDoesNotStopTheJob) {
    TempFolder folder;
    write_file(folder / "a.bin", kA);
    write_file(folder / "b.bin", pattern(500));
    int pipe_fds[2];
    ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
    close(pipe_fds[0]);  // as after `| head -1`: every progress line meets EPIPE
    int status = wait_for(start_blockbind(folder, {"out.tap", "a.bin", "b.bin"}, pipe_fds[1]));
    close(pipe_fds[1]);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    expect_image(folder / "out.tap", {kA, pattern(500)});
}

// True when the thread is blocked in write(2) on standard output.
bool writing_to_standard_output(pid_t child) {
    auto syscall_line = read_file("/proc/" + std::to_string(child) + "/syscall");
    return syscall_line && syscall_line->starts_with(std::to_string(SYS_write) + " 0x1 ");
}

TEST(Blockbind, HangupKeepsTheBlocksWrittenSoFar) {
    TempFolder folder;
    const std::string first = pattern(1000);
    const std::string second_name = "second-input-with-a-longer-name.bin";
    write_file(folder / "a.bin", first);
    write_file(folder / second_name, pattern(10));

    // A pipe nobody reads, filled so that the first progress line still fits and the second
    // does not: blockbind then blocks printing it, with the first block in its write buffer.
    int pipe_fds[2];
    ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
    fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096);
    const int capacity = fcntl(pipe_fds[1], F_GETPIPE_SZ);
    const std::string first_line = "add file a.bin 1000\r\n";
    const std::string filler(capacity - first_line.size() - 20, 'x');
    ASSERT_EQ(write(pipe_fds[1], filler.data(), filler.size()),
              static_cast<ssize_t>(filler.size()));

    pid_t child = start_blockbind(folder, {"out.tap", "a.bin", second_name}, pipe_fds[1]);
    close(pipe_fds[1]);
    int pending = 0;
    for (int tries = 0; tries < 1000; ++tries) {
        ioctl(pipe_fds[0], FIONREAD, &pending);
        if (pending == static_cast<int>(filler.size() + first_line.size()) &&
            writing_to_standard_output(child)) {
            break;
        }
        test_support::sleep_milliseconds(10);
    }
    ASSERT_TRUE(writing_to_standard_output(child)) << "blockbind is not blocked in its output";
    // The first block is still only in blockbind's buffer.
    EXPECT_EQ(read_file(folder / "out.tap"), "");

    kill(child, SIGHUP);
    int status = wait_for(child);
    close(pipe_fds[0]);

    EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0));
    expect_image(folder / "out.tap", {first});
}

// blockbind under valgrind's memcheck: its standard error and exit status.
test_support::RunResult run_under_valgrind(const TempFolder& folder,
                                           const std::vector<std::string>& arguments,
                                           long long file_size_limit = -1) {
    auto options = in_folder(folder);
    options.timeout_seconds = 120;
    options.file_size_limit = file_size_limit;
    std::vector<std::string> valgrind_arguments{
        "--quiet",
        "--error-exitcode=99",
        "--leak-check=full",
        "--show-leak-kinds=definite,indirect,possible",
        "--errors-for-leak-kinds=definite,indirect,possible",
        kProgram};
    valgrind_arguments.insert(valgrind_arguments.end(), arguments.begin(), arguments.end());
    return run_program("/usr/bin/valgrind", valgrind_arguments, options);
}

TEST(Blockbind, LeavesNoLeakOrBadAccessForValgrind) {
    if (test_support::kSanitizedBuild) {
        GTEST_SKIP() << "valgrind cannot run a program built with AddressSanitizer";
    }
    TempFolder folder;
    write_file(folder / "a.bin", kA);
    write_file(folder / "e.bin", "");
    write_file(folder / "big.bin", pattern(65534));

    auto joined = run_under_valgrind(folder, {"out.tap", "a.bin", "e.bin", "big.bin", "a.bin"});
    EXPECT_EQ(joined.exit_status, 0) << joined.err;
    EXPECT_EQ(joined.err, "");
    expect_image(folder / "out.tap", {kA, "", pattern(65534), kA});

    // A buffer released on the way out of a failed write (the write buffer overflows at the\n    //
    // second large block).
    auto failed = run_under_valgrind(folder, {"small.tap", "a.bin", "big.bin", "big.bin"}, 1000);
    EXPECT_EQ(failed.exit_status, 1) << failed.err;
    EXPECT_EQ(failed.err, "");
    EXPECT_EQ(failed.out,
              "add file a.bin 3\r\nadd file big.bin 65534\r\nadd file big.bin 65534\r\n"
              "Can't write small.tap\r\n");
    EXPECT_FALSE(file_exists(folder / "small.tap"));
}

}  // namespace
