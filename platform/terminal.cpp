#include "platform/terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <mutex>

#include "platform/descriptor_io.h"

namespace platform {

namespace {

constexpr int kNoByte = -1;
constexpr int kInputEnded = -2;
constexpr int kSequenceWaitMs = 50;

// The signal thread restores or sets the modes again while the main thread may be changing them.
std::mutex modes_lock;
termios saved_modes{};
termios key_modes{};
bool modes_changed = false;
bool key_mode_checked = false;
bool input_is_terminal = false;
bool input_ended = false;

void enter_key_mode() {
    if (key_mode_checked) {
        return;
    }
    key_mode_checked = true;
    input_is_terminal = isatty(STDIN_FILENO) != 0;
    std::lock_guard guard(modes_lock);
    if (!input_is_terminal || tcgetattr(STDIN_FILENO, &saved_modes) != 0) {
        return;
    }
    key_modes = saved_modes;
    // Signals stay on: Ctrl+C still ends the program, through the handling that restores us.
    key_modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    key_modes.c_cc[VMIN] = 0;
    key_modes.c_cc[VTIME] = 0;
    modes_changed = tcsetattr(STDIN_FILENO, TCSANOW, &key_modes) == 0;
}

constexpr int kInputPending = 0;

// Waits up to timeout_ms (0: not at all, -1: without end) for console input: kInputPending,
// kNoByte when none came in time, kInputEnded when none can ever come.
int poll_input(int timeout_ms) {
    if (input_ended) {
        return kInputEnded;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready;
    do {
        ready = poll(&input, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        return kNoByte;
    }
    if (ready < 0 || !(input.revents & POLLIN)) {
        input_ended = true;
        return kInputEnded;
    }
    return kInputPending;
}

// One byte of input within timeout_ms (0: only if already pending).
int next_byte(int timeout_ms) {
    if (int waited = poll_input(timeout_ms); waited != kInputPending) {
        return waited;
    }
    unsigned char byte = 0;
    ssize_t got = read_some(STDIN_FILENO, &byte, 1);
    if (got == 1) {
        return byte;
    }
    if (got < 0 && errno == EAGAIN) {
        return kNoByte;
    }
    input_ended = true;
    return kInputEnded;
}

// The rest of a cursor or function key's sequence after ESC [ or ESC O.
void skip_sequence(int introducer) {
    if (introducer == 'O') {
        next_byte(kSequenceWaitMs);
        return;
    }
    int byte = next_byte(kSequenceWaitMs);
    // The Linux console sends F1..F5 as ESC [ [ A..E: this '[' does not end the sequence yet.
    if (byte == '[') {
        next_byte(kSequenceWaitMs);
        return;
    }
    for (; byte >= 0; byte = next_byte(kSequenceWaitMs)) {
        if (byte >= 0x40 && byte <= 0x7E) {
            return;
        }
    }
}

}  // namespace

std::string read_key() {
    enter_key_mode();
    int byte = next_byte(0);
    if (byte < 0) {
        return {};
    }
    if (!input_is_terminal || byte != 0x1B) {
        return std::string(1, static_cast<char>(byte));
    }
    int follower = next_byte(kSequenceWaitMs);
    if (follower < 0) {
        return std::string(1, '\x1B');
    }
    if (follower == '[' || follower == 'O') {
        skip_sequence(follower);
        return {};
    }
    if (std::isalnum(follower)) {
        return std::string(1, static_cast<char>(follower));
    }
    return {};
}

bool wait_for_console_input() {
    return poll_input(-1) == kInputPending;
}

void restore_terminal() {
    std::lock_guard guard(modes_lock);
    if (modes_changed) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_modes);
        modes_changed = false;
    }
}

void resume_key_mode() {
    std::lock_guard guard(modes_lock);
    if (modes_changed) {
        tcsetattr(STDIN_FILENO, TCSANOW, &key_modes);
    }
}

}  // namespace platform
