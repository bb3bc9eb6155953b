// sumseal's key wait in a real terminal: a tmux server on a private socket runs sumseal in a
// pane of fixed size, and the test presses keys in that pane as a user would.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::read_file;
using test_support::run_program;
using test_support::RunOptions;
using test_support::RunResult;
using test_support::TempFolder;
using test_support::write_file;

const std::string kProgram = SUMSEAL_PROGRAM;
const std::string kTmux = "/usr/bin/tmux";
const std::string kStty = "/usr/bin/stty";

// FF FF FF FA sum to 0x3F7, and F7 03 00 00 is that sum as a trailer.
const std::string kValidImage = test_support::bytes({0xFF, 0xFF, 0xFF, 0xFA, 0xF7, 0x03, 0, 0});

bool wait_until(const std::function<bool()>& condition, int timeout_ms = 10000) {
    for (int waited = 0; waited < timeout_ms; waited += 20) {
        if (condition()) {
            return true;
        }
        test_support::sleep_milliseconds(20);
    }
    return condition();
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> result;
    for (std::string word; stream >> word;) {
        result.push_back(word);
    }
    return result;
}

bool has_word(const std::string& text, const std::string& word) {
    for (const std::string& each : words(text)) {
        if (each == word) {
            return true;
        }
    }
    return false;
}

// CPU time the process has used so far, in clock ticks (user + system); -1 when it is gone.
long cpu_ticks(const std::string& pid) {
    std::optional<std::string> stat = read_file("/proc/" + pid + "/stat");
    if (!stat || stat->rfind(')') == std::string::npos) {
        return -1;
    }
    // After the command name in parentheses: state is the first field, utime the 12th and
    // stime the 13th.
    std::vector<std::string> fields = words(stat->substr(stat->rfind(')') + 1));
    if (fields.size() < 13) {
        return -1;
    }
    return std::stol(fields[11]) + std::stol(fields[12]);
}

// One sumseal run in a tmux pane. The pane's shell records the terminal's modes before and after
// the run and sumseal's exit status; sumseal's process id is in the file "pid".
class TerminalRun {
  public:
    explicit TerminalRun(const std::vector<std::string>& arguments) {
        write_file(folder_ / "disk.scl", kValidImage);
        std::string command = "'" + kProgram + "'";
        for (const std::string& argument : arguments) {
            command += " '" + argument + "'";
        }
        // The INT trap keeps the shell alive when Ctrl+C goes to the whole process group; it is
        // reset to the default in sumseal.
        write_file(folder_ / "run.sh", "cd '" + folder_.path() +
                                           "'\n"
                                           "trap 'interrupted=1' INT\n"
                                           "stty -g > modes-before\n"
                                           "sh -c 'echo $$ > pid; exec \"$@\"' sh " +
                                           command +
                                           "\n"
                                           "status=$?\n"
                                           "stty -g > modes-after\n"
                                           "echo $status > status\n"
                                           "exec sleep 600\n");
        started_ = tmux({"new-session", "-d", "-x", "80", "-y", "24", "sh " + folder_ / "run.sh"})
                       .exit_status == 0;
        tty_ = tmux({"display-message", "-p", "#{pane_tty}"}).out;
        while (!tty_.empty() && tty_.back() == '\n') {
            tty_.pop_back();
        }
    }

    ~TerminalRun() { tmux({"kill-server"}); }

    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    bool started() const { return started_ && !tty_.empty(); }

    RunResult tmux(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"-S", folder_ / "tmux.socket", "-f", "/dev/null"});
        RunOptions options;
        options.timeout_seconds = 20;
        options.unset_environment = {"TMUX", "TMUX_PANE"};
        options.environment = {"TERM=xterm"};
        return run_program(kTmux, arguments, options);
    }

    void press(const std::string& key) const { tmux({"send-keys", key}); }

    // Bytes given in hexadecimal, as a terminal other than tmux's own would send them.
    void press_bytes(std::vector<std::string> hex) const {
        hex.insert(hex.begin(), {"send-keys", "-H"});
        tmux(hex);
    }

    // The visible text of the pane.
    std::string screen() const { return tmux({"capture-pane", "-p"}).out; }

    // The pane's terminal modes as `stty -a` shows them.
    std::string modes() const {
        RunOptions options;
        options.timeout_seconds = 10;
        return run_program(kStty, {"-F", tty_, "-a"}, options).out;
    }

    // True once sumseal waits for keys: single key presses without Enter and without echo.
    bool wait_for_key_mode() const {
        return wait_until([&] {
            std::string now = modes();
            return has_word(now, "-icanon") && has_word(now, "-echo");
        });
    }

    const std::string& tty() const { return tty_; }

    std::string pid() const {
        std::optional<std::string> text = read_file(folder_ / "pid");
        return text ? words(*text).empty() ? "" : words(*text)[0] : "";
    }

    // sumseal's exit status as the pane's shell saw it, once the run has ended.
    std::optional<std::string> status() const {
        std::optional<std::string> text = read_file(folder_ / "status");
        if (!text || text->empty() || text->back() != '\n') {
            return std::nullopt;
        }
        return text->substr(0, text->size() - 1);
    }

    // The status once the run has ended; nothing when it goes on for 10 s.
    std::optional<std::string> wait_for_status() const {
        wait_until([&] { return status().has_value(); });
        return status();
    }

    std::optional<std::string> modes_before() const { return read_file(folder_ / "modes-before"); }
    std::optional<std::string> modes_after() const { return read_file(folder_ / "modes-after"); }

  private:
    TempFolder folder_;
    bool started_ = false;
    std::string tty_;
};

TEST(SumsealKeyWait, CursorAndFunctionKeysDoNotEndItALetterDoes) {
    TerminalRun run({"disk.scl"});
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.wait_for_key_mode()) << run.modes();
    std::string pid = run.pid();
    ASSERT_FALSE(pid.empty());
    std::string screen = run.screen();
    EXPECT_EQ(screen.substr(0, screen.find('\n')), "Checksums equal:3F7=3F7");

    long ticks_before = cpu_ticks(pid);
    for (const char* key : {"Up", "F5", "F1", "Left"}) {
        run.press(key);
    }
    run.press_bytes({"1b", "5b", "5b", "41"});  // F1 of the Linux console: ESC [ [ A
    test_support::sleep_milliseconds(500);
    EXPECT_EQ(run.status(), std::nullopt) << "the wait ended at a key without a character";
    EXPECT_EQ(kill(std::stoi(pid), 0), 0);
    // Nothing echoed: the escape sequences were taken as keys, not shown.
    EXPECT_EQ(run.screen(), screen);
    // Asleep, not spinning: far less CPU than the wall time spent waiting (50 ticks).
    long ticks_after = cpu_ticks(pid);
    ASSERT_GE(ticks_before, 0);
    EXPECT_LT(ticks_after - ticks_before, 10);

    run.press("q");
    EXPECT_EQ(run.wait_for_status().value_or("(still running)"), std::string("0"));
    ASSERT_TRUE(run.modes_before().has_value());
    EXPECT_EQ(run.modes_after(), run.modes_before());
}

TEST(SumsealKeyWait, KeysWithACharacterEndIt) {
    struct Case {
        const char* key;  // as tmux names it
        std::vector<std::string> arguments;
        const char* status;
    };
    const Case cases[] = {
        {"a", {"disk.scl"}, "0"},
        {"7", {"disk.scl"}, "0"},
        {"Space", {"disk.scl"}, "0"},
        {"Enter", {"disk.scl"}, "0"},
        {"Escape", {"disk.scl"}, "0"},
        {"M-x", {"disk.scl"}, "0"},  // Alt+x: ESC then x
        {"z", {}, "2"},              // the wait after the usage text
        {"z", {"nosuch.scl"}, "1"},  // the wait after a failure message
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        TerminalRun run(c.arguments);
        ASSERT_TRUE(run.started());
        ASSERT_TRUE(run.wait_for_key_mode()) << run.modes();
        run.press(c.key);
        EXPECT_EQ(run.wait_for_status().value_or("(still running)"), std::string(c.status));
        ASSERT_TRUE(run.modes_before().has_value());
        EXPECT_EQ(run.modes_after(), run.modes_before());
    }
}

// Stopped (Ctrl+Z) and continued (fg): meanwhile the shell gives the terminal its own modes back,
// so the wait must take single keys without echo again, not lines.
TEST(SumsealKeyWait, GoesOnInKeyModeAfterAStopAndContinue) {
    TerminalRun run({"disk.scl"});
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.wait_for_key_mode()) << run.modes();
    int pid = std::stoi(run.pid());
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    RunOptions options;
    options.timeout_seconds = 10;
    ASSERT_EQ(run_program(kStty, {"-F", run.tty(), "icanon", "echo"}, options).exit_status, 0);
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    EXPECT_TRUE(run.wait_for_key_mode()) << run.modes();

    run.press("Up");
    test_support::sleep_milliseconds(300);
    EXPECT_EQ(run.status(), std::nullopt);
    run.press("q");
    EXPECT_EQ(run.wait_for_status().value_or("(still running)"), std::string("0"));
    ASSERT_TRUE(run.modes_before().has_value());
    EXPECT_EQ(run.modes_after(), run.modes_before());
}

// Closing the terminal is closing sumseal's console: the run ends instead of waiting on.
TEST(SumsealKeyWait, EndsWhenTheTerminalGoesAway) {
    TerminalRun run({"disk.scl"});
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.wait_for_key_mode()) << run.modes();
    std::string pid = run.pid();
    ASSERT_GE(cpu_ticks(pid), 0);
    run.tmux({"kill-server"});
    // Gone, or a zombie that nobody in this container reaps.
    EXPECT_TRUE(wait_until([&] {
        std::optional<std::string> stat = read_file("/proc/" + pid + "/stat");
        return !stat || stat->find(") Z") != std::string::npos;
    }));
}

TEST(SumsealKeyWait, CtrlCEndsItAndRestoresTheTerminal) {
    TerminalRun run({"disk.scl"});
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.wait_for_key_mode()) << run.modes();
    run.press("C-c");
    EXPECT_EQ(run.wait_for_status().value_or("(still running)"),
              std::string("130"));  // ended by SIGINT
    ASSERT_TRUE(run.modes_before().has_value());
    EXPECT_EQ(run.modes_after(), run.modes_before());
}

}  // namespace
