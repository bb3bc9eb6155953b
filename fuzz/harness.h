// What the fuzz targets share: a scratch folder for the programs' files, and clean-up after a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Once per process: moves into a fresh temporary folder, and points standard input and output at
// /dev/null, so that the programs' messages stay out of the fuzzer's way and a key wait (sumseal)
// finds its input at the end and returns at once. Aborts when standard input is not /dev/null
// afterwards, since a wait for a key would then stall every run.
void enter_scratch_folder();

// Writes the bytes to the named file in the scratch folder. Aborts when it cannot.
void write_bytes(const std::string& name, const std::uint8_t* data, std::size_t size);

// The file's bytes, or nothing when there is no such file.
std::optional<std::string> read_bytes(const std::string& name);

// Sends what the programs print to standard output into a file of its own (outside the scratch
// folder, so a program never sees it) from now until console_text. Aborts when it cannot.
void capture_console();

// Everything printed since capture_console; standard output goes back to /dev/null.
std::string console_text();

// Splits the bytes at every kFileSeparator: the way one fuzz input describes several files.
inline constexpr std::string_view kFileSeparator = "\n--\n";
std::vector<std::string> split_files(const std::uint8_t* data, std::size_t size);

// Releases what a run may leave behind (open files, memory blocks) and empties the folder, as the
// end of a real process would.
void clean_up_after_run();

}  // namespace fuzz
