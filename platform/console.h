// Console, command line and program end, shared by the four programs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Makes the standard descriptors safe: any of 0, 1 and 2 that is closed is opened on /dev/null
// (so no file the program opens can take its place), and SIGPIPE is ignored (a console that went
// away never stops the job). For programs that do not open a console.
void prepare_standard_streams();

// Prepares the console for a console program: descriptors 0, 1 and 2 that are closed are opened
// on /dev/null (so no file the program opens can take their place), SIGPIPE is ignored, and a
// thread of its own waits for SIGHUP (flushes and closes every open file, then ends the process
// with a non-zero status) and for SIGINT, SIGTERM and SIGQUIT (ends the process without flushing).
// The terminal's modes are restored on each of these ways out. Call it before any other thread
// starts. Returns true.
bool open_console();

// Gives up what open_console set up: restores the terminal and ends the signal thread cleanly.
// Nothing when open_console was not called.
void close_console();

// Writes text + CR LF to standard output in one write, retried until done. A console that went
// away (EPIPE) is ignored. Returns false when the line could not be written whole.
bool print_line(std::string_view text = {});

// The same without the line end.
bool print_text(std::string_view text);

// Sleeps for the given number of milliseconds (none for 0 or less).
void pause(int milliseconds);

// Signed 64-bit value in decimal: "-" for negatives, no leading zeros or separators.
std::string decimal_text(std::int64_t value);

// Signed 64-bit value in upper-case hexadecimal without leading zeros ("0" for zero); a negative
// value is its 16-digit two's complement.
std::string hex_text(std::int64_t value);

// The parameters after the program name, as the shell split them. An empty argument counts.
class CommandLine {
  public:
    CommandLine(int argc, const char* const* argv);
    explicit CommandLine(std::vector<std::string> parameters);

    int parameter_count() const { return static_cast<int>(parameters_.size()); }

    // The parameters in order, then empty text on every further call.
    std::string next_parameter();

  private:
    std::vector<std::string> parameters_;
    std::size_t next_ = 0;
};

// The program exit: flushes and closes every open file, releases every memory block, restores
// the terminal and ends the signal thread. Returns status, for main to return, so that the
// process ends with it once main's own objects are gone:
//     return platform::end_program(run_tool(command_line));
[[nodiscard]] int end_program(int status);

}  // namespace platform
