// What the fault tests share: the programs, runs in a folder, and a small full file system.
#pragma once

#include <string>
#include <vector>

#include "tests/support/build.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace fault_test {

inline const std::string kCellweave = CELLWEAVE_PROGRAM;
inline const std::string kBlockbind = BLOCKBIND_PROGRAM;
inline const std::string kSumseal = SUMSEAL_PROGRAM;

// Options for a run in the folder that must end within 30 seconds.
test_support::RunOptions in_folder(const std::string& folder);

// A screen-sized file (6912 bytes) whose last four bytes are the sum of the others, so that
// cellweave and blockbind take it and sumseal finds it valid and leaves it alone.
std::string valid_screen_image();

// The bytes after sumseal appended the sum of all of them (a repair).
std::string repaired(const std::string& image);

// The file's bytes with each 8-byte cell column regrouped as cellweave writes it.
std::string rewoven(const std::string& screen);

// The TAP block blockbind makes of the data: length word, data, XOR check byte.
std::string tap_block(const std::string& data);

// A tmpfs of the given size mounted on the folder for the object's life, so that writes meet a
// real ENOSPC. Mounting needs a privilege that some machines withhold: check mounted().
class SmallFileSystem {
  public:
    SmallFileSystem(const std::string& folder, long long bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why_not() const { return why_not_; }

    // Fills the file system with a file "filler" until exactly free_bytes remain free.
    bool leave_free(long long free_bytes) const;

  private:
    std::string folder_;
    bool mounted_ = false;
    std::string why_not_;
};

}  // namespace fault_test
