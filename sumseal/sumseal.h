// The byte-sum trailer of an SCL image: the last 4 bytes, little-endian, equal to the sum of
// every byte before them modulo 2^32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sumseal {

// The trailer takes this many bytes at the end of an image.
inline constexpr int kTrailerSize = 4;

// sum plus every byte of bytes[0, count), each taken as 0..255, modulo 2^32. count 0 gives sum.
std::uint32_t add_to_sum(std::uint32_t sum, const std::uint8_t* bytes, std::size_t count);

// The trailer read from the last bytes of an image: count (0..4) bytes, little-endian, the
// missing high bytes zero, as in an image shorter than a whole trailer.
std::uint32_t trailer_value(const std::uint8_t* bytes, std::size_t count);

// The trailer to append to an image whose present trailer does not match: sum (of every byte
// before the trailer) plus the four bytes of trailer, so that the old trailer becomes data and
// the new one covers every byte of the image as it was.
std::uint32_t repaired_trailer(std::uint32_t sum, std::uint32_t trailer);

// "Checksums equal:" + sum + "=" + trailer, each in upper-case hexadecimal sign-extended from
// 32 bits (bit 31 set gives 16 digits, the first eight F).
std::string equal_report(std::uint32_t sum, std::uint32_t trailer);

}  // namespace sumseal
