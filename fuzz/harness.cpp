#include "fuzz/harness.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/files.h"
#include "platform/memory.h"

namespace fuzz {

namespace fs = std::filesystem;

void enter_scratch_folder() {
    static bool entered = false;
    if (entered) {
        return;
    }
    entered = true;
    std::string pattern = (fs::temp_directory_path() / "zxkit-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
        std::abort();
    }
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDIN_FILENO);
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
    struct stat input {};
    struct stat null_device {};
    if (fstat(STDIN_FILENO, &input) != 0 || stat("/dev/null", &null_device) != 0 ||
        !S_ISCHR(input.st_mode) || input.st_rdev != null_device.st_rdev) {
        std::abort();
    }
}

void write_bytes(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!file.good()) {
        std::abort();
    }
}

std::optional<std::string> read_bytes(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

namespace {

// An anonymous file that stands in for standard output while a run's console is captured.
int console_fd = -1;

}  // namespace

void capture_console() {
    if (console_fd < 0) {
        console_fd = memfd_create("console", MFD_CLOEXEC);
    }
    if (console_fd < 0 || ftruncate(console_fd, 0) != 0 || lseek(console_fd, 0, SEEK_SET) != 0 ||
        dup2(console_fd, STDOUT_FILENO) < 0) {
        std::abort();
    }
}

std::string console_text() {
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    if (lseek(console_fd, 0, SEEK_SET) != 0) {
        std::abort();
    }
    while ((got = read(console_fd, chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<std::size_t>(got));
    }
    int null_fd = open("/dev/null", O_WRONLY);
    if (got < 0 || null_fd < 0 || dup2(null_fd, STDOUT_FILENO) < 0) {
        std::abort();
    }
    close(null_fd);
    return text;
}

std::vector<std::string> split_files(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> files;
    for (;;) {
        std::size_t end = rest.find(kFileSeparator);
        files.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) {
            return files;
        }
        rest.remove_prefix(end + kFileSeparator.size());
    }
}

void clean_up_after_run() {
    platform::close_all_files();
    platform::free_all_memory();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(".", error)) {
        fs::remove_all(entry.path(), error);
    }
}

}  // namespace fuzz
