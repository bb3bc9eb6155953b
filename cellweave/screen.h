// The reordering of a ZX Spectrum screen file, cell column by cell column.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cellweave {

// A screen file is the 6144-byte bitmap, optionally followed by the 768 attribute bytes.
inline constexpr std::int64_t kBitmapSize = 6144;
inline constexpr std::int64_t kScreenSize = 6912;

// True for the two sizes a screen file can have.
bool is_screen_size(std::int64_t size);

// The input index whose byte lands at output_index (0 .. size - 1) of the reordered file.
// In each 2048-byte screen third the output holds, for column x, character row r and pixel
// line l, the byte at x*64 + r*8 + l, taken from the display layout's l*256 + r*32 + x.
// Attribute bytes (6144 and up) keep their place.
std::size_t source_index(std::size_t output_index);

// Writes the reordered screen into output. size must be kBitmapSize or kScreenSize; source and
// output hold size bytes each and do not overlap.
void reorder_screen(const std::uint8_t* source, std::uint8_t* output, std::size_t size);

}  // namespace cellweave
