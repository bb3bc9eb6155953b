// File names as a user may give them: spaces, quotes, a leading "-", bytes that are not UTF-8,
// components and paths at and beyond the system's limits, and names that cannot be files. Every
// tool takes each parameter as a name, never as an option or a pattern, and prints it back byte
// for byte in its messages.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>

#include "tests/faults/fault_support.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using fault_test::rewoven;
using fault_test::tap_block;
using test_support::pattern;
using test_support::read_file;
using test_support::RunResult;
using test_support::TempFolder;
using test_support::write_file;

using fault_test::kBlockbind;
using fault_test::kCellweave;
using fault_test::kSumseal;

// 6912 bytes whose last four are the sum of the rest: cellweave and blockbind take it, and
// sumseal finds it valid and leaves it as it is.
struct Screen {
    std::string bytes;
    std::string sum_hex;
};

Screen valid_screen() {
    std::string body = pattern(6908, 40);
    std::uint32_t sum = 0;
    for (char byte : body) {
        sum += static_cast<unsigned char>(byte);
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", sum);
    return {body + std::string{static_cast<char>(sum), static_cast<char>(sum >> 8),
                               static_cast<char>(sum >> 16), static_cast<char>(sum >> 24)},
            hex};
}

RunResult run(const TempFolder& folder, const std::string& program,
              const std::vector<std::string>& arguments) {
    test_support::RunOptions options = test_support::in_folder(folder.path());
    options.timeout_seconds = 30;
    return test_support::run_program(program, arguments, options);
}

std::set<std::string> entries(const TempFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST(Names, OddNamesOfRealFiles) {
    const Screen screen = valid_screen();
    const std::string names[] = {
        "two  spaces.scr",
        " leading and trailing ",
        "double \"quoted\".scr",
        "single 'quoted' and `back`.scr",
        "-leading-dash.scr",
        "-",
        "--help",
        "\xFF\xFE not \x80 UTF-8 \xC0.scr",
        "caf\xC3\xA9.scr",            // UTF-8: two bytes for one letter
        "%s%n%x.scr",                 // no format is ever made of a name
        "$HOME *?[ab] ~.scr",         // nor a pattern or a variable
        "line\nbreak\rand\ttab.scr",  // control characters are bytes like any other
        "back\\slash;|&.scr",
        std::string(251, 'n'),  // the longest name whose .rec and .tap still fit in 255
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        TempFolder folder;
        write_file(folder / name, screen.bytes);

        RunResult woven = run(folder, kCellweave, {name});
        EXPECT_EQ(woven.out, "Loading " + name + " 6912 bytes\r\n");
        EXPECT_EQ(woven.exit_status, 0);
        EXPECT_EQ(read_file(folder / (name + ".rec")), rewoven(screen.bytes));

        RunResult bound = run(folder, kBlockbind, {name + ".tap", name});
        EXPECT_EQ(bound.out, "add file " + name + " 6912\r\n");
        EXPECT_EQ(bound.exit_status, 0);
        EXPECT_EQ(read_file(folder / (name + ".tap")), tap_block(screen.bytes));

        RunResult sealed = run(folder, kSumseal, {name});
        EXPECT_EQ(sealed.out, "Checksums equal:" + screen.sum_hex + "=" + screen.sum_hex + "\r\n");
        EXPECT_EQ(sealed.exit_status, 0);

        EXPECT_EQ(read_file(folder / name), screen.bytes);
        EXPECT_EQ(entries(folder), (std::set<std::string>{name, name + ".rec", name + ".tap"}));
    }
}

// Each name is refused with the tool's message that fits it, the name printed as given, and
// nothing is created: not the name, not an output.
TEST(Names, NamesThatAreNoFile) {
    const std::string too_long(300, 'x');  // a single component longer than 255 bytes
    struct Case {
        const char* title;
        std::string name;
        std::string cellweave;         // cellweave NAME
        std::string blockbind_input;   // blockbind out.tap NAME
        std::string blockbind_output;  // blockbind NAME file.scr
        std::string sumseal;           // sumseal NAME
    };
    const Case cases[] = {
        {"a component of 300 bytes", too_long, "Wrong file " + too_long, "Can't read " + too_long,
         "Can't create " + too_long, "Can't read " + too_long},
        {"the folder itself", ".", "Wrong file .", "Can't read .", "Can't create .",
         "Can't read ."},
        {"the root", "/", "Wrong file /", "Can't read /", "Can't create /", "Can't read /"},
        {"a file taken for a folder", "file.scr/", "Wrong file file.scr/",
         "File file.scr/ not found", "Can't create file.scr/", "File file.scr/ not found"},
        {"a path through a file", "file.scr/x", "Wrong file file.scr/x",
         "File file.scr/x not found", "Can't create file.scr/x", "File file.scr/x not found"},
        {"a dash is no standard input", "-", "Wrong file -", "File - not found", "",
         "File - not found"},
        {"missing, not UTF-8", "\xFF\xFE.scr", "Wrong file \xFF\xFE.scr",
         "File \xFF\xFE.scr not found", "", "File \xFF\xFE.scr not found"},
    };
    const std::string screen = valid_screen().bytes;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        write_file(folder / "file.scr", screen);
        std::set<std::string> before = entries(folder);

        RunResult woven = run(folder, kCellweave, {c.name});
        EXPECT_EQ(woven.out, c.cellweave + "\r\n");
        EXPECT_EQ(woven.exit_status, 1);

        RunResult read = run(folder, kBlockbind, {"out.tap", c.name});
        EXPECT_EQ(read.out, c.blockbind_input + "\r\n");
        EXPECT_EQ(read.exit_status, 1);

        // A dash and a new name are ordinary output names; the rest cannot be made.
        if (!c.blockbind_output.empty()) {
            RunResult made = run(folder, kBlockbind, {c.name, "file.scr"});
            EXPECT_EQ(made.out, c.blockbind_output + "\r\n");
            EXPECT_EQ(made.exit_status, 1);
        }

        RunResult sealed = run(folder, kSumseal, {c.name});
        EXPECT_EQ(sealed.out, c.sumseal + "\r\n");
        EXPECT_EQ(sealed.exit_status, 1);

        EXPECT_EQ(entries(folder), before);
        EXPECT_EQ(read_file(folder / "file.scr"), screen);
    }
}

// A path of folders inside the test folder, built and read by descriptor, since its full name
// may be longer than the system takes.
class DeepPath {
  public:
    // Folders of 250-byte names down to where a last component fits so that the relative path
    // is exactly length bytes long; length must leave that component 1 .. 255 bytes.
    DeepPath(const TempFolder& folder, std::size_t length) {
        int fd = open(folder.path().c_str(), O_DIRECTORY | O_RDONLY);
        while (length - path_.size() > 255) {
            const std::string component(250, 'd');
            mkdirat(fd, component.c_str(), 0777);
            int inner = openat(fd, component.c_str(), O_DIRECTORY | O_RDONLY);
            close(fd);
            fd = inner;
            path_ += component + "/";
        }
        leaf_ = std::string(length - path_.size(), 'f');
        path_ += leaf_;
        folder_fd_ = fd;
    }
    ~DeepPath() { close(folder_fd_); }
    DeepPath(const DeepPath&) = delete;
    DeepPath& operator=(const DeepPath&) = delete;

    const std::string& path() const { return path_; }

    void write(const std::string& suffix, const std::string& bytes) const {
        int fd = openat(folder_fd_, (leaf_ + suffix).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
    }

    // The bytes of the file beside the leaf with the suffix added, or nothing.
    std::optional<std::string> read(const std::string& suffix) const {
        int fd = openat(folder_fd_, (leaf_ + suffix).c_str(), O_RDONLY);
        if (fd < 0) {
            return std::nullopt;
        }
        std::string bytes;
        char chunk[8192];
        for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        close(fd);
        return bytes;
    }

  private:
    std::string path_;
    std::string leaf_;
    int folder_fd_ = -1;
};

// Removes what DeepPath made, by descriptor, before the temporary folder goes: its own removal
// goes by full names, which are too long here.
void remove_below(int fd) {
    DIR* folder = fdopendir(fd);
    if (folder == nullptr) {
        close(fd);
        return;
    }
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (unlinkat(dirfd(folder), name.c_str(), 0) != 0) {
            remove_below(openat(dirfd(folder), name.c_str(), O_DIRECTORY | O_RDONLY));
            unlinkat(dirfd(folder), name.c_str(), AT_REMOVEDIR);
        }
    }
    closedir(folder);
}

// PATH_MAX is 4096 bytes with the closing zero: a path of 4095 bytes is the longest a program
// can hand the system.
TEST(Names, PathsAtTheSystemsLimit) {
    const Screen screen = valid_screen();
    struct Case {
        std::size_t length;
        std::string cellweave;  // after the name
        std::string blockbind;
        std::string sumseal;
    };
    const std::string sums = "Checksums equal:" + screen.sum_hex + "=" + screen.sum_hex;
    const Case cases[] = {
        // The .rec name, 4 bytes longer, still fits.
        {4091, " 6912 bytes", "add file P 6912", sums},
        // The input fits, the .rec name does not.
        {4095, " 6912 bytes\r\nCan't create P.rec", "add file P 6912", sums},
        // Nothing fits.
        {4096, "", "Can't read P", "Can't read P"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        TempFolder folder;
        {
            DeepPath deep(folder, c.length);
            ASSERT_EQ(deep.path().size(), c.length);
            deep.write("", screen.bytes);
            const std::string& path = deep.path();
            auto named = [&](std::string text) {
                for (std::size_t at; (at = text.find('P')) != std::string::npos;) {
                    text.replace(at, 1, path);
                }
                return text + "\r\n";
            };

            RunResult woven = run(folder, kCellweave, {path});
            if (c.length == 4091) {
                EXPECT_EQ(woven.out, "Loading " + path + c.cellweave + "\r\n");
                EXPECT_EQ(woven.exit_status, 0);
                EXPECT_EQ(deep.read(".rec"), rewoven(screen.bytes));
            } else if (c.length == 4095) {
                EXPECT_EQ(woven.out, "Loading " + path + named(c.cellweave));
                EXPECT_EQ(woven.exit_status, 1);
            } else {
                EXPECT_EQ(woven.out, "Wrong file " + path + "\r\n");
                EXPECT_EQ(woven.exit_status, 1);
            }

            RunResult bound = run(folder, kBlockbind, {"out.tap", path});
            EXPECT_EQ(bound.out, named(c.blockbind));
            if (c.length < 4096) {
                EXPECT_EQ(bound.exit_status, 0);
                EXPECT_EQ(read_file(folder / "out.tap"), tap_block(screen.bytes));
            } else {
                EXPECT_EQ(bound.exit_status, 1);
                EXPECT_FALSE(test_support::file_exists(folder / "out.tap"));
            }

            RunResult sealed = run(folder, kSumseal, {path});
            EXPECT_EQ(sealed.out, named(c.sumseal));
            EXPECT_EQ(sealed.exit_status, c.length < 4096 ? 0 : 1);
            EXPECT_EQ(deep.read(""), screen.bytes);
        }
        remove_below(open(folder.path().c_str(), O_DIRECTORY | O_RDONLY));
    }
}

// A component of 255 bytes is the longest a name may have: the tools read it, and cellweave
// reports that the name of its output, 4 bytes longer, cannot be made.
TEST(Names, TheLongestComponent) {
    const Screen screen = valid_screen();
    const std::string name(255, 'c');
    TempFolder folder;
    write_file(folder / name, screen.bytes);

    RunResult woven = run(folder, kCellweave, {name});
    EXPECT_EQ(woven.out, "Loading " + name + " 6912 bytes\r\nCan't create " + name + ".rec\r\n");
    EXPECT_EQ(woven.exit_status, 1);

    RunResult bound = run(folder, kBlockbind, {"out.tap", name});
    EXPECT_EQ(bound.out, "add file " + name + " 6912\r\n");
    EXPECT_EQ(bound.exit_status, 0);
    EXPECT_EQ(read_file(folder / "out.tap"), tap_block(screen.bytes));

    RunResult sealed = run(folder, kSumseal, {name});
    EXPECT_EQ(sealed.out, "Checksums equal:" + screen.sum_hex + "=" + screen.sum_hex + "\r\n");
    EXPECT_EQ(entries(folder), (std::set<std::string>{name, "out.tap"}));
}

}  // namespace
