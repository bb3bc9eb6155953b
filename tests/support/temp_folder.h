// A temporary folder removed with everything in it when the test ends, and file helpers.
#pragma once

#include <optional>
#include <string>

namespace test_support {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Writes the bytes to the file, replacing it. Fails the test on error.
void write_file(const std::string& path, const std::string& bytes);

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> read_file(const std::string& path);

bool file_exists(const std::string& path);

// The bytes as text from a list of values, e.g. bytes({0xFF, 0x01}).
std::string bytes(std::initializer_list<int> values);

// A recognisable pattern of the given length (byte i is a mix of i's bits).
std::string pattern(std::size_t length, unsigned seed = 1);

}  // namespace test_support
