// What a frame of burstmap costs: drawing alone, drawing and showing it in a window, the floor
// of clearing and showing an image, and the whole run-out animation (screen.bin uncreatable).
//
// The window benchmarks use whatever SDL finds: SDL_VIDEODRIVER=dummy times the drawing and copy
// alone, an X display (Xvfb) adds the real presentation. Rates are per second of wall time,
// since the X server does its part of the work in a process of its own.
// See run_burstmap_bench.sh.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

#include "burstmap/burstmap.h"
#include "platform/image.h"
#include "platform/random.h"
#include "platform/window.h"

namespace {

using burstmap::FramePass;

// The run-out keeps going after the table is full, as when screen.bin cannot be created; the
// program's 1000 ms pause is left out, since it is not work.
bool refuse_screen_file(const burstmap::CellOrderTable&) {
    return false;
}

struct Animation {
    std::unique_ptr<burstmap::ParticleField> field = std::make_unique<burstmap::ParticleField>();
    std::unique_ptr<burstmap::CellOrderTable> table = std::make_unique<burstmap::CellOrderTable>();
    std::optional<platform::Image> image;

    Animation() { restart(); }
    void restart() { burstmap::set_up_field(*field, *table, platform::random_integer); }

    // The frame loop's body up to showing the picture, as the program runs it.
    FramePass draw() {
        platform::create_image(image, burstmap::kPreviewWidth, burstmap::kPreviewHeight);
        std::optional<platform::Drawing> drawing =
            platform::start_drawing(platform::image_output(image));
        FramePass pass =
            drawing ? burstmap::draw_frame_pass(*drawing, *field, *table, refuse_screen_file)
                    : FramePass::none_inside;
        platform::stop_drawing(drawing);
        return pass;
    }
};

platform::Window* shared_window() {
    static platform::OpenedWindow opened = platform::open_window(
        "2DDrawing Example", burstmap::kPreviewWidth, burstmap::kPreviewHeight);
    return opened.window.get();
}

void frame_rate(benchmark::State& state, std::int64_t frames) {
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

// Draws the next frame pass; an animation that has run out starts again, off the clock.
void draw_next_frame(benchmark::State& state, Animation& animation) {
    if (animation.draw() != FramePass::particles_inside) {
        state.PauseTiming();
        animation.restart();
        state.ResumeTiming();
    }
}

void BM_FramePassDrawing(benchmark::State& state) {
    Animation animation;
    std::int64_t frames = 0;
    for (auto _ : state) {
        draw_next_frame(state, animation);
        ++frames;
    }
    frame_rate(state, frames);
}
BENCHMARK(BM_FramePassDrawing)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FramePassShown(benchmark::State& state) {
    platform::Window* window = shared_window();
    if (window == nullptr) {
        state.SkipWithError("no window");
        return;
    }
    Animation animation;
    std::int64_t frames = 0;
    for (auto _ : state) {
        draw_next_frame(state, animation);
        platform::create_image_view(*window, platform::image_handle(animation.image));
        ++frames;
    }
    frame_rate(state, frames);
}
BENCHMARK(BM_FramePassShown)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The floor a frame cannot go below: a new image, cleared and shown whole. The clearing colour
// alternates, since the window sends only the rows that changed and a picture that stays the
// same would cost nothing to show.
void BM_FloorClearAndShow(benchmark::State& state) {
    platform::Window* window = shared_window();
    if (window == nullptr) {
        state.SkipWithError("no window");
        return;
    }
    std::optional<platform::Image> image;
    platform::Colour colour = 0;
    for (auto _ : state) {
        platform::create_image(image, burstmap::kPreviewWidth, burstmap::kPreviewHeight);
        std::optional<platform::Drawing> drawing =
            platform::start_drawing(platform::image_output(image));
        colour = colour == 0 ? platform::rgb_colour(0, 0, 255) : 0;
        drawing->fill_box(0, 0, burstmap::kPreviewWidth, burstmap::kPreviewHeight, colour);
        platform::stop_drawing(drawing);
        platform::create_image_view(*window, platform::image_handle(image));
    }
    frame_rate(state, state.iterations());
}
BENCHMARK(BM_FloorClearAndShow)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The longest animation: every particle flies until it leaves the screen rectangle.
void BM_WholeRunOut(benchmark::State& state) {
    platform::Window* window = shared_window();
    if (window == nullptr) {
        state.SkipWithError("no window");
        return;
    }
    std::int64_t frames = 0;
    for (auto _ : state) {
        Animation animation;
        FramePass pass = FramePass::particles_inside;
        while (pass == FramePass::particles_inside) {
            pass = animation.draw();
            platform::create_image_view(*window, platform::image_handle(animation.image));
            ++frames;
        }
    }
    state.counters["frames_per_run"] =
        static_cast<double>(frames) / static_cast<double>(state.iterations());
    frame_rate(state, frames);
}
BENCHMARK(BM_WholeRunOut)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
