// burstmap run as a process: under SDL's dummy video driver, without any display, and in a real
// X window on an Xvfb server of the test's own.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <set>

#include "burstmap/burstmap.h"
#include "tests/burstmap/x11_probe.h"
#include "tests/support/live_process.h"
#include "tests/support/process.h"
#include "tests/support/temp_folder.h"

namespace {

using burstmap_test::Screenshot;
using burstmap_test::X11Probe;
using test_support::LiveProcess;
using test_support::RunOptions;
using test_support::TempFolder;
using test_support::XvfbServer;

const std::string kProgram = BURSTMAP_PROGRAM;
const std::string kCaption = "2DDrawing Example";

// Long enough for the run-out animation of about 10,500 passes on a slow, shared machine.
constexpr double kRunOutSeconds = 120;

// Nothing of the session's own display may reach the program unless a test says so.
const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};

RunOptions dummy_driver_in(const TempFolder& folder) {
    RunOptions options = test_support::in_folder(folder.path());
    options.environment = {"SDL_VIDEODRIVER=dummy"};
    options.unset_environment = kNoDisplay;
    return options;
}

RunOptions display_in(const TempFolder& folder, const XvfbServer& server) {
    // XDG_RUNTIME_DIR keeps a Wayland probe from complaining on standard error.
    RunOptions options = test_support::in_folder(folder.path());
    options.environment = {"DISPLAY=" + server.display(), "XDG_RUNTIME_DIR=" + folder.path()};
    options.unset_environment = kNoDisplay;
    return options;
}

test_support::RunResult run_under_dummy_driver(const TempFolder& folder) {
    RunOptions options = dummy_driver_in(folder);
    options.timeout_seconds = kRunOutSeconds;
    return test_support::run_program(kProgram, {}, options);
}

std::vector<int> words_of(const std::string& bytes) {
    std::vector<int> words;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        words.push_back(static_cast<unsigned char>(bytes[i]) |
                        static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return words;
}

TEST(BurstmapProgram, WritesTheOrderOfEveryCellAndEnds) {
    TempFolder first, second;
    // An older, longer screen.bin is replaced, not overwritten in place.
    test_support::write_file(first / "screen.bin", test_support::pattern(4000));

    test_support::RunResult run1 = run_under_dummy_driver(first);
    test_support::RunResult run2 = run_under_dummy_driver(second);

    std::string orders[2];
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const test_support::RunResult& result = run == 0 ? run1 : run2;
        const TempFolder& folder = run == 0 ? first : second;
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        std::optional<std::string> bytes = test_support::read_file(folder / "screen.bin");
        ASSERT_TRUE(bytes);
        ASSERT_EQ(bytes->size(), 1536u);
        // The four cells around the centre, entered in the first pass.
        EXPECT_EQ(bytes->substr(0, 8),
                  test_support::bytes({0x90, 0x01, 0x6F, 0x01, 0x70, 0x01, 0x8F, 0x01}));
        std::vector<int> words = words_of(*bytes);
        std::set<int> cells(words.begin(), words.end());
        EXPECT_EQ(cells.size(), 768u);
        EXPECT_EQ(*cells.begin(), 0);
        EXPECT_EQ(*cells.rbegin(), 767);
        orders[run] = *bytes;
    }
    // Every run draws its own speeds.
    EXPECT_NE(orders[0], orders[1]);
}

TEST(BurstmapProgram, WithoutAWindowItSaysWhyAndWritesNothing) {
    struct Case {
        std::vector<std::string> environment;
        std::string out;  // exact, or only its start when ending in ": "
    };
    const Case cases[] = {
        // No display at all: SDL would quietly fall back to drawing off-screen for no one.
        {{}, "Can't open window: no display\r\n"},
        // A driver chosen that cannot start: the window system's own reason.
        {{"SDL_VIDEODRIVER=x11"}, "Can't open window: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        TempFolder folder;
        test_support::RunOptions options = test_support::in_folder(folder.path());
        options.environment = c.environment;
        options.environment.push_back("XDG_RUNTIME_DIR=" + folder.path());
        options.unset_environment = kNoDisplay;
        test_support::RunResult result = test_support::run_program(kProgram, {}, options);

        EXPECT_EQ(result.exit_status, 1);
        if (c.out.ends_with(": ")) {
            EXPECT_TRUE(result.out.starts_with(c.out)) << result.out;
            EXPECT_TRUE(result.out.ends_with("\r\n")) << result.out;
            EXPECT_GT(result.out.size(), c.out.size() + 2) << "a reason follows";
        } else {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    }
}

TEST(BurstmapProgram, UncreatableScreenBinRunsTheAnimationOutAndEndsWithStatusOne) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "screen.bin");
    LiveProcess program(kProgram, {}, dummy_driver_in(folder));
    ASSERT_TRUE(program.started());

    // Seen while the program still runs: the line is flushed at once.
    ASSERT_TRUE(program.wait_for_output("Can't create screen.bin\r\n", kRunOutSeconds));
    EXPECT_TRUE(program.running());
    // SDL turns SIGTERM into a close request; made during the animation, it waits in the queue
    // and ends the close wait once the animation has run out.
    program.send_signal(SIGTERM);
    EXPECT_EQ(program.wait_for_exit(kRunOutSeconds), 1);
    EXPECT_EQ(program.out(), "Can't create screen.bin\r\n");
    EXPECT_TRUE(std::filesystem::is_empty(folder / "screen.bin"));
}

TEST(BurstmapProgram, AFullDiskLeavesNoTruncatedScreenBin) {
    TempFolder folder;
    // A file-size limit of 1024 bytes, with SIGXFSZ ignored, makes the writes fail as on a full
    // disk partway through the 1536 bytes.
    LiveProcess program("/bin/bash", {"-c", "ulimit -f 1 && trap '' XFSZ && exec \"$0\"", kProgram},
                        dummy_driver_in(folder));
    ASSERT_TRUE(program.started());

    ASSERT_TRUE(program.wait_for_output("Can't write screen.bin\r\n", kRunOutSeconds));
    program.send_signal(SIGTERM);
    EXPECT_EQ(program.wait_for_exit(kRunOutSeconds), 1);
    EXPECT_EQ(program.out(), "Can't write screen.bin\r\n");
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// The last picture: black, the blue box at x 128..383, y 96..287, and the cyan origins.
Screenshot last_picture() {
    burstmap::ParticleField field;
    burstmap::CellOrderTable table;
    burstmap::set_up_field(field, table, [](int) { return 0; });  // origins do not vary
    Screenshot picture{512, 384, std::vector<std::uint32_t>(512 * 384)};
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 512; ++x) {
            bool in_box = x >= 128 && x <= 383 && y >= 96 && y <= 287;
            picture.pixels[y * 512 + x] = in_box ? 0x0000FF : 0x000000;
        }
    }
    for (int i = 0; i < field.particle_count; ++i) {
        int x = static_cast<int>(field.origin_x[i]);
        int y = static_cast<int>(field.origin_y[i]);
        picture.pixels[y * 512 + x] = 0x00FFFF;
    }
    return picture;
}

bool has_white(const Screenshot& shot) {
    for (std::uint32_t pixel : shot.pixels) {
        if (pixel == 0xFFFFFF) {
            return true;
        }
    }
    return false;
}

// burstmap in a real X window on a server of the test's own, with "screen.bin" made uncreatable
// (a folder of that name) so that the animation runs out and the close wait is reached.
class BurstmapWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.started()) << "Xvfb (package xvfb) must be installed";
        ASSERT_TRUE(probe.connected());
        std::filesystem::create_directory(folder / "screen.bin");
        program.emplace(kProgram, std::vector<std::string>{}, display_in(folder, server));
        window = probe.find_window(kCaption, 30);
        ASSERT_NE(window, 0u);
    }

    XvfbServer server;
    X11Probe probe{server.display()};
    TempFolder folder;
    std::optional<LiveProcess> program;
    unsigned long window = 0;
};

TEST_F(BurstmapWindow, ShowsTheLastPictureUntilTheWindowIsClosed) {
    std::optional<burstmap_test::WindowPlace> place = probe.place(window);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->width, 512);
    EXPECT_EQ(place->height, 384);
    // No window manager draws a frame here, so centred means the client area itself.
    EXPECT_EQ(place->x, (1024 - 512) / 2);
    EXPECT_EQ(place->y, (768 - 384) / 2);

    ASSERT_TRUE(program->wait_for_output("Can't create screen.bin\r\n", kRunOutSeconds));
    EXPECT_TRUE(program->running());

    // The animation has run out when no white particle is left in the picture.
    std::optional<Screenshot> shot;
    for (int attempt = 0; attempt < kRunOutSeconds * 10; ++attempt) {
        shot = probe.capture(window);
        if (!shot || !has_white(*shot)) {
            break;
        }
        test_support::sleep_milliseconds(100);
    }
    ASSERT_TRUE(shot);
    Screenshot expected = last_picture();
    ASSERT_EQ(shot->width, expected.width);
    ASSERT_EQ(shot->height, expected.height);
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            ASSERT_EQ(shot->at(x, y), expected.at(x, y)) << "at " << x << ", " << y;
        }
    }

    // It waits for the user, and keeps showing the picture meanwhile, also after the window
    // was covered for a moment.
    ASSERT_TRUE(probe.cover_and_uncover(window));
    test_support::sleep_milliseconds(300);
    EXPECT_TRUE(program->running());
    std::optional<Screenshot> later = probe.capture(window);
    ASSERT_TRUE(later);
    EXPECT_TRUE(later->pixels == expected.pixels) << "the picture was not shown again";

    ASSERT_TRUE(probe.request_close(window));
    EXPECT_EQ(program->wait_for_exit(30), 1);
    EXPECT_EQ(program->out(), "Can't create screen.bin\r\n");
}

TEST_F(BurstmapWindow, ACloseRequestDuringTheAnimationWaitsForItsEnd) {
    ASSERT_TRUE(program->wait_for_output("Can't create screen.bin\r\n", kRunOutSeconds));
    // The 1000 ms pause has begun; particles are still in flight.
    ASSERT_TRUE(probe.request_close(window));
    test_support::sleep_milliseconds(200);
    EXPECT_TRUE(program->running());
    std::optional<Screenshot> shot = probe.capture(window);
    ASSERT_TRUE(shot);
    EXPECT_TRUE(has_white(*shot));

    EXPECT_EQ(program->wait_for_exit(kRunOutSeconds), 1);
    EXPECT_EQ(program->out(), "Can't create screen.bin\r\n");
}

}  // namespace
