#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sumseal/sumseal.h"

namespace {

using sumseal::add_to_sum;
using sumseal::equal_report;
using sumseal::repaired_trailer;
using sumseal::trailer_value;

TEST(AddToSum, TakesBytesUnsignedAndWrapsModulo2To32) {
    struct Case {
        std::uint32_t start;
        std::vector<std::uint8_t> bytes;
        std::uint32_t sum;
    };
    const Case cases[] = {
        {7, {}, 7},                            // nothing to add
        {0, {0x80, 0xFF}, 0x17F},              // 128 + 255, never negative
        {0, {0xFF, 0xFF, 0xFF, 0xFA}, 0x3F7},  // 1015
        {0xFFFFFFFF, {0x02}, 0x1},             // wraps past 2^32
        {0xFFFFFF00, {0xFF, 0x01}, 0x0},       // wraps to exactly 0
        {0x7FFFFFFF, {0x01}, 0x80000000},      // into bit 31, no sign involved
    };
    for (const Case& c : cases) {
        EXPECT_EQ(add_to_sum(c.start, c.bytes.data(), c.bytes.size()), c.sum)
            << "start " << c.start << ", " << c.bytes.size() << " bytes";
    }
}

// The sum is taken many bytes at a time: runs of 255s give the largest partial sums, and lengths
// and start addresses that are no multiple of 16 leave bytes over at the end.
// The bytes around the summed range are 0xAA, so that a byte read outside it shows.
TEST(AddToSum, WholeBuffersGiveTheByteSumAtAnyLengthAndStartAddress) {
    enum class Fill { all_ff, ramp };  // ramp: byte i is (7i + 3) mod 256
    struct Case {
        std::uint32_t start;
        Fill fill;
        std::size_t count;
        std::size_t offset;  // of the first byte from an 8-byte boundary
        std::uint32_t sum;
    };
    const Case cases[] = {
        {0, Fill::all_ff, 8, 0, 0x7F8},                // one word
        {0, Fill::all_ff, 1024, 3, 0x3FC00},           // as many words as a lane can take
        {0, Fill::all_ff, 1031, 5, 0x402F9},           // a lane's worth, then 7 bytes over
        {0xFFFFFF00, Fill::all_ff, 1031, 0, 0x401F9},  // wraps past 2^32
        {0, Fill::all_ff, 17000000, 1, 0x262D9C0},     // 255 x 17,000,000 modulo 2^32
        {0, Fill::ramp, 9, 7, 0x117},
        {0, Fill::ramp, 15, 2, 0x30C},
        {0, Fill::ramp, 16, 0, 0x378},
        {0, Fill::ramp, 1023, 6, 0x1FD04},
        {0, Fill::ramp, 1025, 4, 0x1FE03},
        {0, Fill::ramp, 4101, 1, 0x7F855},
    };
    for (const Case& c : cases) {
        std::vector<std::uint64_t> words((c.offset + c.count + 8) / 8 + 1);
        auto* memory = reinterpret_cast<std::uint8_t*>(words.data());
        std::fill_n(memory, words.size() * 8, std::uint8_t{0xAA});
        std::uint8_t* bytes = memory + c.offset;
        for (std::size_t i = 0; i < c.count; ++i) {
            bytes[i] = c.fill == Fill::all_ff ? 0xFF : static_cast<std::uint8_t>(7 * i + 3);
        }
        EXPECT_EQ(add_to_sum(c.start, bytes, c.count), c.sum)
            << c.count << " bytes from offset " << c.offset;
    }
}

TEST(TrailerValue, ReadsUpToFourBytesLittleEndianMissingHighBytesZero) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::uint32_t value;
    };
    const Case cases[] = {
        {{}, 0x0},                               // empty image: no trailer bytes at all
        {{0x01}, 0x1},                           // one byte in the lowest position
        {{0x01, 0x02}, 0x0201},                  // an image of 01 02
        {{0x01, 0x02, 0x03}, 0x030201},          // three bytes, top byte zero
        {{0xF7, 0x03, 0x00, 0x00}, 0x3F7},       // a whole trailer
        {{0x78, 0x56, 0x34, 0x12}, 0x12345678},  // byte order
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF},  // every bit set
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trailer_value(c.bytes.data(), c.bytes.size()), c.value)
            << c.bytes.size() << " bytes";
    }
}

TEST(RepairedTrailer, AddsTheFourBytesOfTheOldTrailerToTheSum) {
    struct Case {
        std::uint32_t sum;
        std::uint32_t trailer;
        std::uint32_t repaired;
    };
    const Case cases[] = {
        {0x0, 0x0201, 0x3},             // image 01 02: nothing summed, gains 03 00 00 00
        {0xFF, 0x0, 0xFF},              // image FF 00 00 00 00 gains FF 00 00 00
        {0x0, 0x80000001, 0x81},        // image 01 00 00 80: the bytes, not the value
        {0x0, 0xFFFFFFFF, 0x3FC},       // four bytes of 255
        {0xFFFFFFFF, 0x01000001, 0x1},  // wraps modulo 2^32
    };
    for (const Case& c : cases) {
        EXPECT_EQ(repaired_trailer(c.sum, c.trailer), c.repaired)
            << "sum " << c.sum << ", trailer " << c.trailer;
    }
}

TEST(EqualReport, HexOfBothSignExtendedFrom32Bits) {
    struct Case {
        std::uint32_t sum;
        std::uint32_t trailer;
        const char* text;
    };
    const Case cases[] = {
        {0x0, 0x0, "Checksums equal:0=0"},
        {0x3F7, 0x3F7, "Checksums equal:3F7=3F7"},
        {0xFF, 0xFF, "Checksums equal:FF=FF"},
        {0x7FFFFFFF, 0x7FFFFFFF, "Checksums equal:7FFFFFFF=7FFFFFFF"},
        // Bit 31 set: 16 digits, the first eight F.
        {0x80000000, 0x80000000, "Checksums equal:FFFFFFFF80000000=FFFFFFFF80000000"},
        {0xFFFFFFFF, 0xFFFFFFFF, "Checksums equal:FFFFFFFFFFFFFFFF=FFFFFFFFFFFFFFFF"},
        // The two sides are formatted each on its own.
        {0xABC, 0x80000001, "Checksums equal:ABC=FFFFFFFF80000001"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equal_report(c.sum, c.trailer), c.text);
    }
}

}  // namespace
