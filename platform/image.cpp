#include "platform/image.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform {

bool create_image(std::optional<Image>& image, int width, int height) {
    if (width <= 0 || height <= 0) {
        image.reset();
        return false;
    }
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::unique_ptr<std::uint32_t[]> pixels;
    if (image && image->width_ == width && image->height_ == height) {
        pixels = std::move(image->pixels_);
    }
    image.reset();
    if (!pixels) {
        // nothrow: an image that cannot be had is a value, not an exception.
        pixels.reset(new (std::nothrow) std::uint32_t[count]);
        if (!pixels) {
            return false;
        }
    }
    std::memset(pixels.get(), 0, count * sizeof(std::uint32_t));  // black
    image.emplace(Image(width, height, std::move(pixels)));
    return true;
}

void Drawing::fill_box(int x, int y, int width, int height, Colour colour) {
    // Clip in 64 bits so that x + width cannot overflow.
    long long left = std::max<long long>(x, 0);
    long long top = std::max<long long>(y, 0);
    long long right = std::min<long long>(static_cast<long long>(x) + width, target_->width_);
    long long bottom = std::min<long long>(static_cast<long long>(y) + height, target_->height_);
    if (left >= right || top >= bottom) {
        return;
    }
    // One row is filled word by word and the others are copies of it: the library's vectorised
    // copy clears a whole picture several times faster than a word-by-word loop.
    std::uint32_t* first = target_->pixels_.get() + top * target_->width_ + left;
    std::fill(first, first + (right - left), xrgb_from_colour(colour));
    std::size_t row_bytes = static_cast<std::size_t>(right - left) * sizeof(std::uint32_t);
    for (long long row = top + 1; row < bottom; ++row) {
        std::memcpy(target_->pixels_.get() + row * target_->width_ + left, first, row_bytes);
    }
}

std::optional<Drawing> start_drawing(Image* target) {
    if (target == nullptr) {
        return std::nullopt;
    }
    return Drawing(*target);
}

}  // namespace platform
