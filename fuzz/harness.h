// What the fuzz targets share: a scratch folder for the programs' files, and clean-up after a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace fuzz {

// Once per process: moves into a fresh temporary folder, and points standard input and output at
// /dev/null, so that the programs' messages and key waits stay out of the fuzzer's way.
void enter_scratch_folder();

// Writes the bytes to the named file in the scratch folder. Aborts when it cannot.
void write_bytes(const std::string& name, const std::uint8_t* data, std::size_t size);

// The file's bytes, or nothing when there is no such file.
std::optional<std::string> read_bytes(const std::string& name);

// Releases what a run may leave behind (open files, memory blocks) and empties the folder, as the
// end of a real process would.
void clean_up_after_run();

}  // namespace fuzz
