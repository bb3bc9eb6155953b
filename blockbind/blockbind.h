// The TAP block and the console texts of blockbind, without console or files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace blockbind {

// The largest input a block can hold: its length word counts the input's bytes plus the check
// byte and is 16 bits wide.
inline constexpr std::int64_t kLargestInput = 65534;

// The length word of the block for an input of size bytes: size + 1, the bytes that follow the
// word within the block. size must be 0 .. kLargestInput.
std::uint16_t length_word(std::int64_t size);

// The check byte of a block: the XOR of all its data bytes; 0 for none.
std::uint8_t check_byte(std::span<const std::uint8_t> data);

// What is known about an input when it is about to be joined.
struct InputFacts {
    // The input names the output file (the same file, or the output's name).
    bool is_output = false;
    // The input's length in bytes, or what file_size says about it: -1 no such file, -2 not a
    // regular file, -3 cannot be examined.
    std::int64_t size = -1;
    // The input could be opened for reading.
    bool readable = false;
};

// The console line that refuses the input, or nothing when it can be joined. The first that
// applies wins: the output itself ("Can't read"), missing ("File ... not found"), not a regular
// file or not readable ("Can't read"), longer than kLargestInput ("File ... is too big").
std::optional<std::string> input_fault(std::string_view name, const InputFacts& facts);

// "add file " + name + " " + size: the line printed before an input's block is written.
std::string progress_line(std::string_view name, std::int64_t size);

// The failure lines that name the output.
std::string cannot_create_line(std::string_view output_name);
std::string cannot_write_line(std::string_view output_name);

// Failure lines about a single input, also used by input_fault.
std::string cannot_read_line(std::string_view name);
std::string not_found_line(std::string_view name);

inline constexpr std::string_view kNoMemoryLine = "Couldn't allocate the requested memory!";

// The banner printed when the output name or every input is missing, line by line.
inline constexpr std::string_view kUsageLines[] = {
    "Bindery 0.1",
    "Usage  : blockbind.exe filename.tap filename1,[filename2]...,[filenameN]",
    "Onexit: filename.tap",
};

}  // namespace blockbind
