#include "tests/burstmap/live_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace burstmap_test {

namespace {

double now_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string name_of(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

std::vector<std::string> child_environment(const LaunchOptions& options) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string name = name_of(*entry);
        bool dropped = false;
        for (const auto& unset : options.unset_environment) {
            dropped = dropped || unset == name;
        }
        for (const auto& extra : options.environment) {
            dropped = dropped || name_of(extra) == name;
        }
        if (!dropped) {
            result.push_back(*entry);
        }
    }
    result.insert(result.end(), options.environment.begin(), options.environment.end());
    return result;
}

}  // namespace

LiveProcess::LiveProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const LaunchOptions& options) {
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        return;
    }
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return;
    }
    std::vector<std::string> environment = child_environment(options);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        int null_fd = open("/dev/null", O_RDONLY);
        dup2(null_fd, 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        if (!options.working_folder.empty() && chdir(options.working_folder.c_str()) != 0) {
            _exit(127);
        }
        signal(SIGPIPE, SIG_DFL);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
    if (pid_ < 0) {
        close(out_fd_);
        close(err_fd_);
        out_fd_ = err_fd_ = -1;
    }
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
    double deadline = now_seconds() + timeout_seconds;
    while (out_.find(text) == std::string::npos) {
        double left = deadline - now_seconds();
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
    double deadline = now_seconds() + timeout_seconds;
    while (running()) {
        double left = deadline - now_seconds();
        if (left <= 0) {
            kill(pid_, SIGKILL);
            reap(true);
            return std::nullopt;
        }
        if (!read_some(std::min(left, 0.05))) {
            // Both outputs ended: only the exit is left to wait for.
            struct timespec nap {
                0, 10'000'000
            };
            nanosleep(&nap, nullptr);
        }
    }
    // What the program wrote last; bounded, in case a child of it still holds the pipes.
    double drain_deadline = now_seconds() + 1;
    while (now_seconds() < drain_deadline && read_some(0.01)) {
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

}  // namespace burstmap_test
