#include <algorithm>

#include "burstmap/arithmetic.h"
#include "burstmap/burstmap.h"

namespace burstmap {

namespace {

const platform::Colour kBackground = platform::rgb_colour(0, 0, 0);
const platform::Colour kScreenRectangle = platform::rgb_colour(0, 0, 255);
const platform::Colour kOrigin = platform::rgb_colour(0, 255, 255);
const platform::Colour kParticle = platform::rgb_colour(255, 255, 255);

// Strict bounds one pixel wider than the drawn rectangle on the left and top, on the 32-bit
// values as stored; a NaN is outside.
bool inside_screen_rectangle(float x, float y) {
    return x > 127 && x < 383 && y > 95 && y < 287;
}

}  // namespace

FramePass draw_frame_pass(platform::Drawing& drawing, ParticleField& field, CellOrderTable& table,
                          const ScreenFileSaver& save_screen_file) {
    drawing.fill_box(0, 0, kPreviewWidth, kPreviewHeight, kBackground);
    drawing.fill_box(128, 96, 256, 192, kScreenRectangle);
    bool any_inside = false;
    const int count = std::min(field.particle_count, kParticleCapacity);
    for (int i = 0; i < count; ++i) {
        drawing.plot_pixel(nearest(field.origin_x[i]), nearest(field.origin_y[i]), kOrigin);
        float x = field.pos_x[i];
        float y = field.pos_y[i];
        if (!inside_screen_rectangle(x, y)) {
            continue;  // a particle that left stays outside: only inside ones move
        }
        if (enter_cell(table, x, y, save_screen_file) == CellEntry::screen_file_written) {
            return FramePass::screen_file_written;
        }
        drawing.plot_pixel(nearest(x), nearest(y), kParticle);
        field.pos_x[i] = static_cast<float>(double{x} + double{field.step_x[i]});
        field.pos_y[i] = static_cast<float>(double{y} + double{field.step_y[i]});
        any_inside = true;
    }
    return any_inside ? FramePass::particles_inside : FramePass::none_inside;
}

}  // namespace burstmap
