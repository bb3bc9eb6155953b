#include "fuzz/harness.h"

#include <fcntl.h>
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

void clean_up_after_run() {
    platform::close_all_files();
    platform::free_all_memory();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(".", error)) {
        fs::remove_all(entry.path(), error);
    }
}

}  // namespace fuzz
