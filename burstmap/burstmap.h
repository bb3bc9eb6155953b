// burstmap: particles fly from the centre of the 256 x 192 screen rectangle toward the points of
// an ellipse, and the order in which they first reach the 768 character cells becomes
// "screen.bin", the order in which a loader or demo reveals the cells.
//
// Coordinates are pixels of the 512 x 384 preview: x to the right, y downward. The screen
// rectangle covers x 128..383 and y 96..287.
//
// Arithmetic of the field, the frame pass and the cell entry is exact and reproducible: IEEE
// double per operation, rounded to float only where a value is stored, no fused multiply-add
// (this library is built with -ffp-contract=off).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/image.h"

namespace burstmap {

inline constexpr int kPreviewWidth = 512;
inline constexpr int kPreviewHeight = 384;
inline constexpr int kParticleCapacity = 1456;
inline constexpr int kCellColumns = 32;
inline constexpr int kCellRows = 24;
inline constexpr int kCellCount = kCellColumns * kCellRows;
inline constexpr const char* kScreenFileName = "screen.bin";

// The particles as six parallel arrays of 32-bit floats.
struct ParticleField {
    std::array<float, kParticleCapacity> origin_x{};  // the particle's point on the ellipse
    std::array<float, kParticleCapacity> origin_y{};
    std::array<float, kParticleCapacity> pos_x{};  // where it is now
    std::array<float, kParticleCapacity> pos_y{};
    std::array<float, kParticleCapacity> step_x{};  // added to the position once per frame
    std::array<float, kParticleCapacity> step_y{};
    std::int32_t particle_count = 0;  // entries in use, from index 0
};

// The order in which the cells were first reached. A cell is numbered row * 32 + column.
struct CellOrderTable {
    // 0: not entered yet; otherwise the cell's order value, 1 to 768.
    std::array<std::int16_t, kCellCount> order{};
    // Entries made so far. The first entry writes 0, so its cell takes the next one as well, and
    // the table is full when this reaches 769.
    std::int32_t cells_entered = 0;
};

// A uniformly distributed integer from 0 to n inclusive.
using RandomInteger = std::function<int(int n)>;

// Fills the field with its 1456 particles: origins on the ellipse of semi-axes 256 and 192 around
// the centre, positions on the four pixels around the centre, and steps toward the origins at
// speeds drawn with random_integer(127), once per particle in particle order. Empties the table.
void set_up_field(ParticleField& field, CellOrderTable& table, const RandomInteger& random_integer);

// Called once, when the table has just become full. Returns true when screen.bin was written
// whole; otherwise it has reported the failure and the run goes on.
using ScreenFileSaver = std::function<bool(const CellOrderTable& table)>;

enum class CellEntry {
    go_on,                // the frame pass goes on with this particle
    screen_file_written,  // the run is over: end the program now
};

// Enters the cell under (x, y), a position inside the screen rectangle (127 < x < 383,
// 95 < y < 287), unless that cell was entered before; a position outside is ignored. The entry
// that fills the table hands it to save_screen_file; no later entry is made.
CellEntry enter_cell(CellOrderTable& table, float x, float y,
                     const ScreenFileSaver& save_screen_file);

// The words of screen.bin: for order values 1 to 768, the number of the cell holding it.
// Meaningful for a full table.
std::array<std::uint16_t, kCellCount> screen_file_words(const CellOrderTable& table);

enum class ScreenFileResult { written, not_created, not_written };

// Writes the table's words to the named file, little-endian, replacing an existing file. A file
// whose bytes could not all be written is removed again.
ScreenFileResult write_screen_file(const CellOrderTable& table, const std::string& name);

// The program's saver: writes screen.bin into the working folder; on failure prints
// "Can't create screen.bin" or "Can't write screen.bin" and holds the program still for 1000 ms.
bool save_screen_file(const CellOrderTable& table);

enum class FramePass {
    particles_inside,     // some particle was inside: run another pass
    none_inside,          // the animation is over
    screen_file_written,  // the run is over: end the program now, without showing the picture
};

// Draws one frame pass onto a fresh drawing: the black background, the blue screen rectangle,
// every origin in cyan, and every particle inside the rectangle entered, drawn in white at its
// position and then moved one step. Stops at once when the cell entry has written screen.bin.
FramePass draw_frame_pass(platform::Drawing& drawing, ParticleField& field, CellOrderTable& table,
                          const ScreenFileSaver& save_screen_file);

}  // namespace burstmap
