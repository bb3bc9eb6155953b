#include "sumseal/run.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/terminal.h"
#include "sumseal/sumseal.h"

namespace sumseal {

namespace {

constexpr int kImage = 0;
// Whole buffers rather than a call per byte: the sum of a large image costs what reading it does.
constexpr std::int64_t kChunkSize = 128 * 1024;

constexpr char kUsage[] = "Usage:sumseal.exe <Filename.scl>\r\npress any key";

// Every run ends here: the report, the image let go, then the wait for a key, which sleeps
// until input comes and ends when no key can ever come (the end of input).
int finish(const std::string& message, int status) {
    platform::print_line(message);
    platform::close_file(kImage);
    while (platform::read_key().empty()) {
        if (!platform::wait_for_console_input()) {
            break;
        }
    }
    return status;
}

}  // namespace

int run_sumseal(platform::CommandLine& command_line) {
    // Usage
    if (command_line.parameter_count() == 0) {
        return finish(kUsage, kStatusUsage);
    }

    // Open the image: read-write for a repair, else read-only, which is enough for the check
    std::string name = command_line.next_parameter();
    std::int64_t size = platform::file_size(name);
    if (size == -1) {
        return finish("File " + name + " not found", kStatusFailed);
    }
    if (size < 0) {
        return finish("Can't read " + name, kStatusFailed);
    }
    bool writable = platform::open_existing_file(kImage, name);
    if (!writable && !platform::open_file_for_reading(kImage, name)) {
        // Only a file that vanished since it was measured is "not found".
        return finish(
            platform::file_size(name) == -1 ? "File " + name + " not found" : "Can't read " + name,
            kStatusFailed);
    }
    // The open file's own length: the name may have been given another file meanwhile.
    size = platform::file_length(kImage);

    // Sum the bytes before the trailer
    std::vector<std::uint8_t> chunk(kChunkSize);
    std::uint32_t sum = 0;
    for (std::int64_t left = std::max<std::int64_t>(size - kTrailerSize, 0); left > 0;) {
        std::int64_t wanted = std::min(left, kChunkSize);
        // A short read means the file shrank or failed: no sum can be trusted then.
        if (platform::read_data(kImage, chunk.data(), wanted) != wanted) {
            return finish("Can't read " + name, kStatusFailed);
        }
        sum = add_to_sum(sum, chunk.data(), static_cast<std::size_t>(wanted));
        left -= wanted;
    }

    // Read the trailer: the last 4 bytes, or as many as a shorter image has
    std::int64_t trailer_size = std::min<std::int64_t>(size, kTrailerSize);
    if (platform::read_data(kImage, chunk.data(), trailer_size) != trailer_size) {
        return finish("Can't read " + name, kStatusFailed);
    }
    std::uint32_t trailer = trailer_value(chunk.data(), static_cast<std::size_t>(trailer_size));
    if (sum == trailer) {
        return finish(equal_report(sum, trailer), kStatusDone);
    }

    // Append a new trailer after the old one, which stays as data
    platform::print_line("Fixing...");
    if (!writable) {
        return finish("Can't write " + name, kStatusFailed);
    }
    // file_length writes the trailer out first, so a full disk shows here as a short file.
    if (!platform::write_long(kImage, repaired_trailer(sum, trailer)) ||
        platform::file_length(kImage) != size + kTrailerSize) {
        // Take back whatever part of the trailer landed.
        platform::truncate_file(kImage, size);
        return finish("Can't write " + name, kStatusFailed);
    }
    if (!platform::close_file(kImage)) {
        // The trailer was written but the close reported a failure (a network file system can
        // report a lost write only here): the trailer cannot be trusted, so take it back.
        if (platform::open_existing_file(kImage, name) &&
            platform::file_length(kImage) == size + kTrailerSize) {
            platform::truncate_file(kImage, size);
        }
        return finish("Can't write " + name, kStatusFailed);
    }
    return finish("done! press any key.", kStatusDone);
}

}  // namespace sumseal
