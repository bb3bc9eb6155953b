#include <string>

#include "burstmap/arithmetic.h"
#include "burstmap/burstmap.h"
#include "platform/console.h"
#include "platform/files.h"

namespace burstmap {

namespace {

constexpr int kFullTable = kCellCount + 1;  // the first cell is entered twice
constexpr int kScreenFile = 0;              // the file number of screen.bin
constexpr int kFailurePauseMilliseconds = 1000;

}  // namespace

CellEntry enter_cell(CellOrderTable& table, float x, float y,
                     const ScreenFileSaver& save_screen_file) {
    // Outside the rectangle the conversions below would leave the table, or be undefined.
    if (!(x > 127 && x < 383 && y > 95 && y < 287)) {
        return CellEntry::go_on;
    }
    // Truncation, so that a position just left of or above the rectangle's first pixel (127 < x
    // < 128) still lies in column 0 or row 0.
    int column = integer_part((double{x} - 128) / 8);
    int row = integer_part((double{y} - 96) / 8);
    int cell = row * kCellColumns + column;
    if (table.order[cell] != 0) {
        return CellEntry::go_on;
    }
    table.order[cell] = static_cast<std::int16_t>(table.cells_entered);
    ++table.cells_entered;
    if (table.cells_entered != kFullTable) {
        return CellEntry::go_on;
    }
    return save_screen_file(table) ? CellEntry::screen_file_written : CellEntry::go_on;
}

std::array<std::uint16_t, kCellCount> screen_file_words(const CellOrderTable& table) {
    std::array<std::uint16_t, kCellCount> words{};
    for (int cell = 0; cell < kCellCount; ++cell) {
        int order = table.order[cell];
        if (order >= 1 && order <= kCellCount) {
            words[order - 1] = static_cast<std::uint16_t>(cell);
        }
    }
    return words;
}

ScreenFileResult write_screen_file(const CellOrderTable& table, const std::string& name) {
    if (!platform::create_file(kScreenFile, name)) {
        return ScreenFileResult::not_created;
    }
    for (std::uint16_t word : screen_file_words(table)) {
        platform::write_word(kScreenFile, word);
    }
    // Any failed write, the flush or the close (a full disk) removes the file again, so that
    // no truncated screen.bin is left behind.
    return platform::finish_output(kScreenFile) ? ScreenFileResult::written
                                                : ScreenFileResult::not_written;
}

bool save_screen_file(const CellOrderTable& table) {
    const std::string name = kScreenFileName;
    switch (write_screen_file(table, name)) {
        case ScreenFileResult::written:
            return true;
        case ScreenFileResult::not_created:
            platform::print_line("Can't create " + name);
            break;
        case ScreenFileResult::not_written:
            platform::print_line("Can't write " + name);
            break;
    }
    platform::pause(kFailurePauseMilliseconds);
    return false;
}

}  // namespace burstmap
