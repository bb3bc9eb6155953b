// The terminal hangs up in the middle of a run: the tool ends by the hangup, what it wrote so far
// kept on disk, whatever it was doing at that moment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "tests/faults/fault_support.h"

namespace fault_test {
namespace {

using test_support::pattern;
using test_support::read_file;
using test_support::TempFolder;
using test_support::write_file;

// A tool started in the folder with the given standard input and output, as a shell would
// start it; killed if the test leaves it running.
class Child {
  public:
    Child(const TempFolder& folder, const std::string& program,
          const std::vector<std::string>& arguments, int input, int output) {
        test_support::RunOptions options = test_support::in_folder(folder.path());
        options.standard_input_descriptor = input;
        options.standard_output_descriptor = output;
        test_support::StartedChild started = test_support::start_child(program, arguments, options);
        pid_ = started.pid;
        error_fd_ = started.err_fd;
    }
    ~Child() {
        if (!reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(error_fd_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }

    // The wait status once the tool has ended; nothing when it goes on for 20 seconds.
    std::optional<int> wait_for_end() {
        std::optional<int> status = test_support::wait_status(pid_, 20);
        reaped_ = status.has_value();
        return status;
    }

  private:
    pid_t pid_ = -1;
    int error_fd_ = -1;
    bool reaped_ = false;
};

// What the program printed, read from the pipe until at least count bytes came or it closed.
std::string read_at_least(int fd, std::size_t count) {
    std::string out;
    char chunk[256];
    for (ssize_t got; out.size() < count && (got = read(fd, chunk, sizeof chunk)) > 0;) {
        out.append(chunk, static_cast<std::size_t>(got));
    }
    return out;
}

std::string read_link(const std::string& path) {
    std::error_code error;
    return std::filesystem::read_symlink(path, error).string();
}

// True once the tool's main thread is blocked writing to the file of that name.
bool blocked_writing(pid_t pid, const std::string& name) {
    const std::string process = "/proc/" + std::to_string(pid);
    for (int tries = 0; tries < 1000; ++tries) {
        auto line = read_file(process + "/syscall");
        unsigned long fd = 0;
        if (line && line->starts_with(std::to_string(SYS_write) + " ") &&
            std::sscanf(line->c_str() + line->find(' '), " 0x%lx", &fd) == 1 &&
            read_link(process + "/fd/" + std::to_string(fd)) == name) {
            return true;
        }
        test_support::sleep_milliseconds(10);
    }
    return false;
}

// The terminal hangs up while sumseal waits for a key after a repair: the run ends by the hangup
// and the trailer it appended is on disk.
TEST(Hangup, SumsealInItsKeyWaitKeepsTheRepair) {
    TempFolder folder;
    const std::string image = pattern(300, 13) + std::string(4, '\0');
    write_file(folder / "disk.scl", image);
    int input[2], output[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
    Child sumseal(folder, kSumseal, {"disk.scl"}, input[0], output[1]);
    close(input[0]);
    close(output[1]);
    // The key wait has begun once the last line is out; no key ever comes on the open pipe.
    const std::string expected = "Fixing...\r\ndone! press any key.\r\n";
    EXPECT_EQ(read_at_least(output[0], expected.size()), expected);
    kill(sumseal.pid(), SIGHUP);
    std::optional<int> status = sumseal.wait_for_end();
    close(input[1]);
    close(output[0]);
    ASSERT_TRUE(status.has_value()) << "sumseal did not end at the hangup";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGHUP) << *status;
    EXPECT_EQ(read_file(folder / "disk.scl"), repaired(image));
}

// blockbind's output is a FIFO that nobody reads, so a write to it never returns. The hangup must
// still end the run: the flush that keeps the output cannot be made, and must not be waited for
// forever.
TEST(Hangup, EndsTheRunWhileAWriteOfTheOutputIsStuck) {
    TempFolder folder;
    write_file(folder / "a.bin", pattern(65534, 14));
    ASSERT_EQ(mkfifo((folder / "out.fifo").c_str(), 0666), 0);
    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    Child blockbind(folder, kBlockbind, {"out.fifo", "a.bin", "a.bin", "a.bin"}, null_fd, null_fd);
    close(null_fd);
    ASSERT_TRUE(blocked_writing(blockbind.pid(), folder / "out.fifo"))
        << "blockbind never blocked on its output";
    kill(blockbind.pid(), SIGHUP);
    std::optional<int> status = blockbind.wait_for_end();
    ASSERT_TRUE(status.has_value()) << "blockbind did not end at the hangup";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGHUP) << *status;
}

// Under a process limit that allows no thread, the thread that takes signals cannot start. Ctrl+C,
// a hangup and a termination request must still end sumseal's key wait, as they end any program.
TEST(Hangup, SignalsEndTheRunWhenNoThreadCanStart) {
    for (int signal_number : {SIGINT, SIGHUP, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        TempFolder folder;
        write_file(folder / "disk.scl", pattern(20, 15));
        ASSERT_EQ(chmod((folder / "disk.scl").c_str(), 0666), 0);
        int input[2], output[2];
        ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
        // As user 65534, since root is exempt from the process limit.
        Child sumseal(folder, "/usr/bin/setpriv",
                      {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/prlimit",
                       "--nproc=0", kSumseal, "disk.scl"},
                      input[0], output[1]);
        close(input[0]);
        close(output[1]);
        const std::string expected = "Fixing...\r\ndone! press any key.\r\n";
        EXPECT_EQ(read_at_least(output[0], expected.size()), expected);
        kill(sumseal.pid(), signal_number);
        std::optional<int> status = sumseal.wait_for_end();
        close(input[1]);
        close(output[0]);
        ASSERT_TRUE(status.has_value()) << "sumseal did not end at the signal";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal_number) << *status;
    }
}

}  // namespace
}  // namespace fault_test
