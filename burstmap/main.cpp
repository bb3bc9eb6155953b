// burstmap: shows particles flying out over the screen rectangle and writes the order in which
// they first reach its 768 character cells to screen.bin.
//
// Exit status 0 when screen.bin was written whole, 1 otherwise (no window, or the file could
// not be created or written).
#include <memory>
#include <optional>

#include "burstmap/burstmap.h"
#include "platform/console.h"
#include "platform/image.h"
#include "platform/random.h"
#include "platform/window.h"

int main() {
    using namespace burstmap;
    platform::prepare_standard_streams();

    // Start-up: the preview window.
    platform::OpenedWindow opened =
        platform::open_window("2DDrawing Example", kPreviewWidth, kPreviewHeight);
    if (!opened.window) {
        platform::print_line("Can't open window: " + opened.failure);
        return platform::end_program(1);
    }
    std::unique_ptr<platform::Window> window = std::move(opened.window);

    // The particle field.
    auto field = std::make_unique<ParticleField>();
    auto table = std::make_unique<CellOrderTable>();
    set_up_field(*field, *table, platform::random_integer);

    // The frame loop: one pass per picture until no particle is left inside.
    std::optional<platform::Image> image;
    FramePass pass = FramePass::particles_inside;
    while (pass == FramePass::particles_inside) {
        // A new black image to draw on.
        std::optional<platform::Drawing> drawing;
        if (platform::create_image(image, kPreviewWidth, kPreviewHeight)) {
            drawing = platform::start_drawing(platform::image_output(image));
        }

        // Draw, enter and move. Without a drawing nothing moves and the animation ends.
        pass = drawing ? draw_frame_pass(*drawing, *field, *table, save_screen_file)
                       : FramePass::none_inside;
        if (pass == FramePass::screen_file_written) {
            return platform::end_program(0);  // the window goes with main's objects
        }
        platform::stop_drawing(drawing);

        // Show the whole picture.
        platform::create_image_view(*window, platform::image_handle(image));
    }

    // The close wait: the last picture stays until the user closes the window.
    while (platform::wait_window_event(*window) != platform::kCloseRequest) {
    }
    platform::close_window(window);

    // The animation ran out, so screen.bin was not written.
    return platform::end_program(1);
}
