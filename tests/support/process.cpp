#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace test_support {

namespace {

std::vector<std::string> child_environment(const RunOptions& options) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool removed = false;
        for (const auto& unset : options.unset_environment) {
            removed = removed || unset == name;
        }
        for (const auto& extra : options.environment) {
            removed = removed || extra.substr(0, extra.find('=')) == name;
        }
        if (!removed) {
            result.push_back(text);
        }
    }
    result.insert(result.end(), options.environment.begin(), options.environment.end());
    return result;
}

}  // namespace

double monotonic_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void sleep_milliseconds(int milliseconds) {
    timespec time{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1'000'000L};
    while (nanosleep(&time, &time) != 0 && errno == EINTR) {
    }
}

std::optional<int> wait_status(pid_t pid, double timeout_seconds) {
    double deadline = monotonic_seconds() + timeout_seconds;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        if (monotonic_seconds() > deadline) {
            return std::nullopt;
        }
        sleep_milliseconds(10);
    }
}

StartedChild start_child(const std::string& program, const std::vector<std::string>& arguments,
                         const RunOptions& options) {
    StartedChild started;
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0) {
        return started;
    }
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(in_pipe[0]);
        close(in_pipe[1]);
        return started;
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

    pid_t child = fork();
    if (child == 0) {
        if (options.standard_input_descriptor >= 0) {
            dup2(options.standard_input_descriptor, 0);
        } else if (options.standard_input) {
            dup2(in_pipe[0], 0);
        } else {
            int null_fd = open("/dev/null", O_RDONLY);
            dup2(null_fd, 0);
        }
        dup2(options.standard_output_descriptor >= 0 ? options.standard_output_descriptor
                                                     : out_pipe[1],
             1);
        dup2(err_pipe[1], 2);
        if (!options.working_folder.empty() && chdir(options.working_folder.c_str()) != 0) {
            _exit(127);
        }
        signal(SIGPIPE, SIG_DFL);
        if (options.file_size_limit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                         static_cast<rlim_t>(options.file_size_limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.close_standard_input) {
            close(0);
        }
        if (options.close_standard_output) {
            close(1);
        }
        if (options.close_standard_error) {
            close(2);
        }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (child < 0) {
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(err_pipe[0]);
        return started;
    }
    started.pid = child;
    started.out_fd = out_pipe[0];
    if (options.standard_output_descriptor >= 0) {
        close(out_pipe[0]);
        started.out_fd = -1;
    }
    started.err_fd = err_pipe[0];
    if (options.standard_input) {
        // Inputs are small; a program that does not read them must not stall the test.
        signal(SIGPIPE, SIG_IGN);
        fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
        ssize_t ignored =
            write(in_pipe[1], options.standard_input->data(), options.standard_input->size());
        (void)ignored;
    }
    close(in_pipe[1]);
    return started;
}

RunResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                      const RunOptions& options) {
    RunResult result;
    StartedChild started = start_child(program, arguments, options);
    if (started.pid < 0) {
        return result;
    }
    pid_t child = started.pid;

    double deadline = monotonic_seconds() + options.timeout_seconds;
    pollfd fds[2] = {{started.out_fd, POLLIN, 0}, {started.err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_count = (started.out_fd >= 0) + (started.err_fd >= 0);
    while (open_count > 0) {
        double left = deadline - monotonic_seconds();
        if (left <= 0) {
            result.timed_out = true;
            kill(child, SIGKILL);
            break;
        }
        int ready = poll(fds, 2, static_cast<int>(left * 1000) + 1);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                char chunk[65536];
                ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
                if (got > 0) {
                    sinks[i]->append(chunk, static_cast<std::size_t>(got));
                } else if (got == 0 || errno != EINTR) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open_count;
                }
            }
        }
    }
    for (auto& fd : fds) {
        if (fd.fd >= 0) {
            close(fd.fd);
        }
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.peak_rss_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

RunResult run_as_nobody(const std::string& program, const std::vector<std::string>& arguments,
                        const RunOptions& options) {
    std::vector<std::string> wrapped = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                        program};
    wrapped.insert(wrapped.end(), arguments.begin(), arguments.end());
    return run_program("/usr/bin/setpriv", wrapped, options);
}

}  // namespace test_support
