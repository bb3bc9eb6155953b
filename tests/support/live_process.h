// A program running as a child process that a test watches while it runs: its output is read as
// it comes, signals can be sent, and the test decides when to wait for the end.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace test_support {

class LiveProcess {
  public:
    // Starts the program as start_child does.
    LiveProcess(const std::string& program, const std::vector<std::string>& arguments,
                const RunOptions& options = {});
    // Kills the program if it still runs.
    ~LiveProcess();
    LiveProcess(const LiveProcess&) = delete;
    LiveProcess& operator=(const LiveProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // Reads output until standard output contains the text; false when the timeout passes or
    // the output ends first.
    bool wait_for_output(const std::string& text, double timeout_seconds);

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

    // True while the program has not ended.
    bool running();

    void send_signal(int signal_number);

    // Reads output until the program ends and returns its exit status; nothing when it ended
    // by a signal, or did not end in time (it is then killed).
    std::optional<int> wait_for_exit(double timeout_seconds);

  private:
    // Reads what is available within the time; false when both outputs have ended.
    bool read_some(double timeout_seconds);
    void reap(bool block);

    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string out_;
    std::string err_;
    bool ended_ = false;
    std::optional<int> exit_status_;
};

// An X server of its own on a free display number, ended with the object.
class XvfbServer {
  public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    bool started() const { return !display_.empty(); }
    // ":N"
    const std::string& display() const { return display_; }

  private:
    LiveProcess server_;
    std::string display_;
};

}  // namespace test_support
