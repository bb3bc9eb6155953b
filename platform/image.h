// In-memory 24-bit images and the drawing done on them.
//
// An image is plain memory: drawing on it needs no window system, so pictures can be made and
// checked off-screen. A window shows an image by copying it (see window.h), so an image may be
// released as soon as it has been shown.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace platform {

// A colour value: red + 256 * green + 65536 * blue, each channel 0..255.
using Colour = std::uint32_t;

constexpr Colour rgb_colour(int red, int green, int blue) {
    return static_cast<Colour>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

// Pixels are kept as 0x00RRGGBB words, the layout of a 24-bit X11 visual, so that showing an
// image is a plain copy; Colour values are converted once per drawing call instead.
constexpr std::uint32_t xrgb_from_colour(Colour colour) {
    return (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu);
}
constexpr Colour colour_from_xrgb(std::uint32_t xrgb) {
    return xrgb_from_colour(xrgb & 0xFFFFFFu);
}

class Image {
  public:
    Image(Image&&) noexcept = default;
    Image& operator=(Image&&) noexcept = default;

    int width() const { return width_; }
    int height() const { return height_; }

    // The colour at (x, y); black for a point outside the image.
    Colour pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) {
            return 0;
        }
        return colour_from_xrgb(pixels_[static_cast<std::size_t>(y) * width_ + x]);
    }

    // All pixels as 0x00RRGGBB words, row after row from the top, width() words per row.
    std::span<const std::uint32_t> xrgb_pixels() const {
        return {pixels_.get(), static_cast<std::size_t>(width_) * height_};
    }

  private:
    Image(int width, int height, std::unique_ptr<std::uint32_t[]> pixels)
        : width_(width), height_(height), pixels_(std::move(pixels)) {}

    int width_;
    int height_;
    std::unique_ptr<std::uint32_t[]> pixels_;

    friend bool create_image(std::optional<Image>& image, int width, int height);
    friend class Drawing;
};

// Replaces the image in the slot by a new one of the given size with every pixel black. The old
// image is released first, but its memory is taken over when the size is the same: a program
// that makes a new image for every frame then allocates once, not once per frame. False, with
// the slot left empty, when a side is not positive or memory is short.
bool create_image(std::optional<Image>& image, int width, int height);

// The drawing target of an image slot: its image, or none when the slot is empty.
inline Image* image_output(std::optional<Image>& image) {
    return image ? &*image : nullptr;
}

// The displayable handle of an image slot, for create_image_view: none when the slot is empty.
inline const Image* image_handle(const std::optional<Image>& image) {
    return image ? &*image : nullptr;
}

// Drawing in progress on one image. The image must outlive the drawing.
class Drawing {
  public:
    // Sets every pixel from (x, y) to (x + width - 1, y + height - 1), clipped to the image.
    void fill_box(int x, int y, int width, int height, Colour colour);

    // Sets the pixel (x, y); a point outside the image is ignored.
    void plot_pixel(int x, int y, Colour colour) {
        if (x >= 0 && y >= 0 && x < target_->width_ && y < target_->height_) {
            target_->pixels_[static_cast<std::size_t>(y) * target_->width_ + x] =
                xrgb_from_colour(colour);
        }
    }

  private:
    explicit Drawing(Image& target) : target_(&target) {}
    Image* target_;

    friend std::optional<Drawing> start_drawing(Image* target);
};

// Starts drawing on the target. Nothing when there is no target.
std::optional<Drawing> start_drawing(Image* target);

// Ends the drawing in progress, if any; the image keeps what was drawn.
inline void stop_drawing(std::optional<Drawing>& drawing) {
    drawing.reset();
}

}  // namespace platform
