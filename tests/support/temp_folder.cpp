#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace test_support {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    std::string pattern = base + "/zxkit-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary folder under " << base;
    }
    path_ = pattern;
    // Unprivileged runs of the programs (setpriv) must be able to enter and write here.
    fs::permissions(path_, fs::perms::all, fs::perm_options::replace);
}

TempFolder::~TempFolder() {
    std::error_code error;
    // Tests take permissions away; give them back so that everything can be removed.
    for (auto it = fs::recursive_directory_iterator(
             path_, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(path_, error);
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    ASSERT_TRUE(file.good()) << "cannot write " << path;
}

std::optional<std::string> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string bytes(std::initializer_list<int> values) {
    std::string result;
    for (int value : values) {
        result.push_back(static_cast<char>(value));
    }
    return result;
}

std::string pattern(std::size_t length, unsigned seed) {
    std::string result(length, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        result[i] = static_cast<char>((state >> 16) & 0xFF);
    }
    return result;
}

}  // namespace test_support
