// sumseal's sum check and repair decision on any image, against a plain reference sum: the sum
// taken chunk by chunk as the program does, the trailer, the decision, the repaired trailer
// (which makes the image valid) and the report's two numbers.
//
// Input: bytes 0..3 are the sum of a part of the image that comes before the rest (so that sums
// near and past 2^32 are reached with small inputs), byte 0 also sets the chunk size; the rest
// is the remaining image, its last 4 bytes the trailer.
#include <cstdlib>
#include <string>

#include "sumseal/sumseal.h"

namespace {

std::uint32_t reference_sum(std::uint32_t start, const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t sum = start;
    for (std::size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint32_t>(sum % (std::uint64_t{1} << 32));
}

// The number a report shows: hexadecimal of the value sign-extended to 64 bits.
std::uint64_t parse_hex(const std::string& text) {
    if (text.empty() || text.size() > 16 || (text.size() > 1 && text[0] == '0')) {
        std::abort();
    }
    std::uint64_t value = 0;
    for (char digit : text) {
        int nibble = digit >= '0' && digit <= '9'   ? digit - '0'
                     : digit >= 'A' && digit <= 'F' ? digit - 'A' + 10
                                                    : -1;
        if (nibble < 0) {
            std::abort();
        }
        value = value << 4 | static_cast<std::uint64_t>(nibble);
    }
    return value;
}

std::uint64_t sign_extended(std::uint32_t value) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(value)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint32_t start =
        data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    const std::size_t chunk = 1 + data[0];
    const std::uint8_t* image = data + 4;
    const std::size_t n = size - 4;
    const std::size_t summed = n > 4 ? n - 4 : 0;
    const std::size_t trailer_size = n - summed;

    // The sum as the program takes it: chunk by chunk.
    std::uint32_t sum = start;
    for (std::size_t at = 0; at < summed; at += chunk) {
        sum = sumseal::add_to_sum(sum, image + at, std::min(chunk, summed - at));
    }
    if (sum != reference_sum(start, image, summed)) {
        std::abort();
    }

    std::uint32_t reference_trailer = 0;
    for (std::size_t i = 0; i < trailer_size; ++i) {
        reference_trailer |= static_cast<std::uint32_t>(image[summed + i]) << (8 * i);
    }
    const std::uint32_t trailer = sumseal::trailer_value(image + summed, trailer_size);
    if (trailer != reference_trailer) {
        std::abort();
    }

    if (sum == trailer) {
        const std::string report = sumseal::equal_report(sum, trailer);
        const std::string prefix = "Checksums equal:";
        const std::size_t equals = report.find('=');
        if (!report.starts_with(prefix) || equals == std::string::npos ||
            parse_hex(report.substr(prefix.size(), equals - prefix.size())) != sign_extended(sum) ||
            parse_hex(report.substr(equals + 1)) != sign_extended(trailer)) {
            std::abort();
        }
        return 0;
    }
    // The new trailer covers every byte of the image, the old trailer included, so the repaired
    // image (the old bytes, then the new trailer) checks as valid.
    const std::uint32_t repaired = sumseal::repaired_trailer(sum, trailer);
    if (repaired != reference_sum(start, image, n)) {
        std::abort();
    }
    return 0;
}
