#include "sumseal/sumseal.h"

#include "platform/console.h"

namespace sumseal {

std::uint32_t add_to_sum(std::uint32_t sum, const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
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
