#include "tests/support/live_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace test_support {

LiveProcess::LiveProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const RunOptions& options) {
    StartedChild started = start_child(program, arguments, options);
    pid_ = started.pid;
    out_fd_ = started.out_fd;
    err_fd_ = started.err_fd;
}

LiveProcess::~LiveProcess() {
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        reap(true);
    }
    for (int fd : {out_fd_, err_fd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool LiveProcess::read_some(double timeout_seconds) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (out_fd_ < 0 && err_fd_ < 0) {
        return false;
    }
    int ready = poll(fds, 2, static_cast<int>(timeout_seconds * 1000) + 1);
    if (ready <= 0) {
        return true;
    }
    int* fd_of[2] = {&out_fd_, &err_fd_};
    std::string* sink_of[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            char chunk[4096];
            ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                sink_of[i]->append(chunk, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(*fd_of[i]);
                *fd_of[i] = -1;
            }
        }
    }
    return out_fd_ >= 0 || err_fd_ >= 0;
}

bool LiveProcess::wait_for_output(const std::string& text, double timeout_seconds) {
    double deadline = monotonic_seconds() + timeout_seconds;
    while (out_.find(text) == std::string::npos) {
        double left = deadline - monotonic_seconds();
        if (left <= 0 || !read_some(left)) {
            return out_.find(text) != std::string::npos;
        }
    }
    return true;
}

void LiveProcess::reap(bool block) {
    int status = 0;
    pid_t got;
    do {
        got = waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == pid_) {
        ended_ = true;
        if (WIFEXITED(status)) {
            exit_status_ = WEXITSTATUS(status);
        }
    }
}

bool LiveProcess::running() {
    if (pid_ > 0 && !ended_) {
        reap(false);
    }
    return pid_ > 0 && !ended_;
}

void LiveProcess::send_signal(int signal_number) {
    if (running()) {
        kill(pid_, signal_number);
    }
}

std::optional<int> LiveProcess::wait_for_exit(double timeout_seconds) {
    double deadline = monotonic_seconds() + timeout_seconds;
    while (running()) {
        double left = deadline - monotonic_seconds();
        if (left <= 0) {
            kill(pid_, SIGKILL);
            reap(true);
            return std::nullopt;
        }
        if (!read_some(std::min(left, 0.05))) {
            // Both outputs ended: only the exit is left to wait for.
            sleep_milliseconds(10);
        }
    }
    // What the program wrote last; bounded, in case a child of it still holds the pipes.
    double drain_deadline = monotonic_seconds() + 1;
    while (monotonic_seconds() < drain_deadline && read_some(0.01)) {
    }
    return exit_status_;
}

XvfbServer::XvfbServer()
    : server_("/usr/bin/Xvfb",
              {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}) {
    // With -displayfd the server picks a free display itself and writes its number when ready.
    if (server_.wait_for_output("\n", 20)) {
        display_ = ":" + server_.out().substr(0, server_.out().find('\n'));
    }
}

XvfbServer::~XvfbServer() {
    // Asked, not killed, so that it removes its lock file and socket.
    server_.send_signal(SIGTERM);
    server_.wait_for_exit(10);
}

}  // namespace test_support
