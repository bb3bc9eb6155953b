#include "cellweave/screen.h"

namespace cellweave {

bool is_screen_size(std::int64_t size) {
    return size == kBitmapSize || size == kScreenSize;
}

std::size_t source_index(std::size_t output_index) {
    if (output_index >= static_cast<std::size_t>(kBitmapSize)) {
        return output_index;
    }
    std::size_t third = output_index / 2048;
    std::size_t column = output_index % 2048 / 64;
    std::size_t character_row = output_index % 64 / 8;
    std::size_t pixel_line = output_index % 8;
    return third * 2048 + pixel_line * 256 + character_row * 32 + column;
}

void reorder_screen(const std::uint8_t* source, std::uint8_t* output, std::size_t size) {
    std::size_t k = 0;
    for (std::size_t third = 0; third < 3; ++third) {
        for (std::size_t column = 0; column < 32; ++column) {
            for (std::size_t character_row = 0; character_row < 8; ++character_row) {
                for (std::size_t pixel_line = 0; pixel_line < 8; ++pixel_line) {
                    output[k++] =
                        source[third * 2048 + column + character_row * 32 + pixel_line * 256];
                }
            }
        }
    }
    for (; k < size; ++k) {
        output[k] = source[k];
    }
}

}  // namespace cellweave
