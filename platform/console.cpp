#include "platform/console.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/descriptor_io.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/terminal.h"

namespace platform {

namespace {

pthread_t signal_thread;
bool signal_thread_running = false;
std::atomic<bool> signal_thread_stopping{false};

// SIGUSR1 is how close_console wakes the signal thread to end it. SIGCONT still continues a
// stopped process while it is blocked; the thread only takes note of it.
sigset_t console_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : {SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGUSR1, SIGCONT}) {
        sigaddset(&set, signal_number);
    }
    return set;
}

[[noreturn]] void end_by_signal(int signal_number) {
    // Dying by the signal itself tells the parent how the run ended.
    signal(signal_number, SIG_DFL);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}

void* wait_for_signals(void*) {
    sigset_t set = console_signals();
    for (;;) {
        int signal_number = 0;
        if (sigwait(&set, &signal_number) != 0) {
            continue;
        }
        if (signal_number == SIGUSR1) {
            if (signal_thread_stopping) {
                return nullptr;
            }
            continue;
        }
        if (signal_number == SIGCONT) {
            resume_key_mode();
            continue;
        }
        restore_terminal();
        // The console went away: keep what was written so far. Ctrl+C and the like end the
        // run without that step.
        if (signal_number == SIGHUP) {
            flush_all_files_for_exit();
        }
        end_by_signal(signal_number);
    }
}

}  // namespace

void prepare_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // open() takes the lowest free descriptor, which is this one.
            int null_fd = ::open("/dev/null", O_RDWR);
            if (null_fd >= 0 && null_fd != fd) {
                dup2(null_fd, fd);
                ::close(null_fd);
            }
        }
    }
    signal(SIGPIPE, SIG_IGN);
}

bool open_console() {
    prepare_standard_streams();
    if (signal_thread_running) {
        return true;
    }
    sigset_t set = console_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal_thread_stopping = false;
    signal_thread_running = pthread_create(&signal_thread, nullptr, wait_for_signals, nullptr) == 0;
    return true;
}

void close_console() {
    restore_terminal();
    if (!signal_thread_running) {
        return;
    }
    signal_thread_stopping = true;
    pthread_kill(signal_thread, SIGUSR1);
    pthread_join(signal_thread, nullptr);
    signal_thread_running = false;
}

bool print_line(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    return write_all(STDOUT_FILENO, line.data(), line.size());
}

bool print_text(std::string_view text) {
    return write_all(STDOUT_FILENO, text.data(), text.size());
}

void pause(int milliseconds) {
#ifdef ZXKIT_FUZZ_BUILD
    // The fuzzers run the failure paths thousands of times a second.
    milliseconds = 0;
#endif
    if (milliseconds <= 0) {
        return;
    }
    timespec left{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::string decimal_text(std::int64_t value) {
    return std::to_string(value);
}

std::string hex_text(std::int64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%llX",
                  static_cast<unsigned long long>(static_cast<std::uint64_t>(value)));
    return text;
}

CommandLine::CommandLine(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        parameters_.emplace_back(argv[i]);
    }
}

CommandLine::CommandLine(std::vector<std::string> parameters)
    : parameters_(std::move(parameters)) {}

std::string CommandLine::next_parameter() {
    if (next_ >= parameters_.size()) {
        return {};
    }
    return parameters_[next_++];
}

int end_program(int status) {
    close_all_files();
    free_all_memory();
    close_console();
    return status;
}

}  // namespace platform
