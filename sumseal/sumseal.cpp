#include "sumseal/sumseal.h"

#include <cstring>

#include "platform/console.h"

namespace sumseal {

namespace {

constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFu;
// Each of a word's four 16-bit lanes gains at most 2 x 255 per word, so 128 words fit a lane.
constexpr std::size_t kWordsPerFold = 128;

// The four 16-bit lanes added together.
std::uint32_t fold_lanes(std::uint64_t lanes) {
    lanes = (lanes & 0x0000FFFF0000FFFFu) + ((lanes >> 16) & 0x0000FFFF0000FFFFu);
    return static_cast<std::uint32_t>((lanes & 0xFFFFFFFFu) + (lanes >> 32));
}

}  // namespace

std::uint32_t add_to_sum(std::uint32_t sum, const std::uint8_t* bytes, std::size_t count) {
    // Eight bytes per step, in 16-bit lanes: a loop of one add per byte (which GCC does not
    // vectorise at -O2) costs sumseal more time than reading the image does.
    std::size_t words = count / 8;
    while (words > 0) {
        const std::size_t run = words < kWordsPerFold ? words : kWordsPerFold;
        std::uint64_t lanes = 0;
        for (std::size_t i = 0; i < run; ++i) {
            std::uint64_t word;
            std::memcpy(&word, bytes + 8 * i, sizeof word);
            lanes += (word & kEvenBytes) + ((word >> 8) & kEvenBytes);
        }
        sum += fold_lanes(lanes);
        bytes += 8 * run;
        words -= run;
    }
    for (std::size_t i = 0; i < count % 8; ++i) {
        sum += bytes[i];
    }
    return sum;
}

std::uint32_t trailer_value(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count && i < static_cast<std::size_t>(kTrailerSize); ++i) {
        value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    }
    return value;
}

std::uint32_t repaired_trailer(std::uint32_t sum, std::uint32_t trailer) {
    for (int i = 0; i < kTrailerSize; ++i) {
        sum += (trailer >> (8 * i)) & 0xFF;
    }
    return sum;
}

namespace {

std::string signed_hex(std::uint32_t value) {
    return platform::hex_text(static_cast<std::int32_t>(value));
}

}  // namespace

std::string equal_report(std::uint32_t sum, std::uint32_t trailer) {
    return "Checksums equal:" + signed_hex(sum) + "=" + signed_hex(trailer);
}

}  // namespace sumseal
