// Runs a real program as a child process, the way a user's shell would.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace test_support {

struct RunOptions {
    std::string working_folder;                  // empty: the test's own
    std::optional<std::string> standard_input;   // absent: /dev/null
    std::vector<std::string> environment;        // extra NAME=value entries
    std::vector<std::string> unset_environment;  // names removed from the environment
    double timeout_seconds = 60;                 // the child is killed after this
    // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored, so that writes past it fail as on a full
    // disk; negative: no limit.
    long long file_size_limit = -1;
    // Start the child with these standard descriptors closed (as `<&-`, `>&-`, `2>&-`).
    bool close_standard_input = false;
    bool close_standard_output = false;
    bool close_standard_error = false;
    // Descriptors the child takes as its standard input or output, as a shell's redirection
    // would give them (the caller keeps its own); -1: the usual /dev/null or pipe.
    int standard_input_descriptor = -1;
    int standard_output_descriptor = -1;
};

// Options that only set the working folder.
inline RunOptions in_folder(const std::string& folder) {
    RunOptions options;
    options.working_folder = folder;
    return options;
}

struct RunResult {
    int exit_status = -1;  // -1 when the child ended by a signal
    int signal = 0;        // the signal that ended it, or 0
    bool timed_out = false;
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
    long peak_rss_kb = 0;  // the child's largest resident set (ru_maxrss), in KiB
};

// Seconds on the monotonic clock, for deadlines.
double monotonic_seconds();

// Sleeps for the given time.
void sleep_milliseconds(int milliseconds);

// A started child: its pid (-1 when it could not be started) and the read ends of the pipes
// on its standard output (-1 when the options gave it a descriptor) and error.
struct StartedChild {
    pid_t pid = -1;
    int out_fd = -1;
    int err_fd = -1;
};

// Starts the program with the options' folder, environment, limits and descriptors. Its
// standard input is the options' text, already written and closed, or else /dev/null.
StartedChild start_child(const std::string& program, const std::vector<std::string>& arguments,
                         const RunOptions& options);

// The wait status of the child once it has ended; nothing when it goes on past the timeout
// (it is then left running, for the caller to decide).
std::optional<int> wait_status(pid_t pid, double timeout_seconds);

// Runs the program to its end, feeding it the options' standard input.
RunResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                      const RunOptions& options = {});

// Runs the program as an unprivileged user (uid and gid 65534, no groups), through setpriv, for
// the cases where root's disregard of permission bits would hide what a user sees.
RunResult run_as_nobody(const std::string& program, const std::vector<std::string>& arguments,
                        const RunOptions& options = {});

}  // namespace test_support
