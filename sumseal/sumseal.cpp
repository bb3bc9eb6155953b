#include "sumseal/sumseal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/console.h"

namespace sumseal {

std::uint32_t add_to_sum(std::uint32_t sum, const std::uint8_t* bytes, std::size_t count) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Thirty-two bytes per step, in two blocks of sixteen: psadbw adds each half of a block into
    // a 64-bit lane, which no image can overflow. A loop of one add per byte, which GCC does not
    // vectorise at -O2, cost sumseal more time than reading the image did.
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = zero;
    __m128i more_lanes = zero;
    for (; count - i >= 32; i += 32) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16));
        lanes = _mm_add_epi64(lanes, _mm_sad_epu8(block, zero));
        more_lanes = _mm_add_epi64(more_lanes, _mm_sad_epu8(next, zero));
    }
    lanes = _mm_add_epi64(lanes, more_lanes);
    sum += static_cast<std::uint32_t>(_mm_cvtsi128_si64(lanes)) +
           static_cast<std::uint32_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(lanes, lanes)));
#endif
    for (; i < count; ++i) {
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
