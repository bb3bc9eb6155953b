// The pure parts of blockbind: block bytes, the order in which an input is refused, and texts.
#include "blockbind/blockbind.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using blockbind::InputFacts;

TEST(LengthWord, CountsTheInputAndTheCheckByte) {
    struct Case {
        std::int64_t size;
        std::uint16_t word;
    } cases[] = {
        {0, 0x0001},      // an empty input still has its check byte
        {3, 0x0004},      // the example FF 01 02
        {6911, 0x1B00},   // a whole screen
        {65534, 0xFFFF},  // the largest input a word can describe
    };
    for (const Case& c : cases) {
        EXPECT_EQ(blockbind::length_word(c.size), c.word) << "size " << c.size;
    }
}

TEST(CheckByte, IsTheXorOfTheData) {
    struct Case {
        std::vector<std::uint8_t> data;
        std::uint8_t check;
    } cases[] = {
        {{}, 0x00},
        {{0xFF, 0x01, 0x02}, 0xFC},
        {{0x5A}, 0x5A},
        {{0x12, 0x34, 0x12, 0x34}, 0x00},  // bytes that cancel out
        {{0x00, 0x03, 0x80, 0x7F}, 0xFC},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(blockbind::check_byte(c.data), c.check) << "of " << c.data.size() << " bytes";
    }
}

// The check byte is taken eight bytes at a time: lengths and start addresses that are no
// multiple of eight leave bytes over. The data are a pseudo-random sequence (the bytes of a
// linear congruential generator), with other bytes around it so that a byte read outside shows.
TEST(CheckByte, IsTheXorOfTheDataAtAnyLengthAndStartAddress) {
    struct Case {
        std::size_t size;
        std::size_t offset;  // of the first byte from an 8-byte boundary
        std::uint8_t check;
    } cases[] = {
        {7, 0, 0xB8},    {8, 3, 0xE2},    {9, 5, 0x38},     {15, 1, 0x38},
        {6912, 0, 0x6D}, {6913, 7, 0xDE}, {65534, 2, 0x20},
    };
    for (const Case& c : cases) {
        std::vector<std::uint64_t> words((c.offset + c.size + 8) / 8 + 1, 0x5555555555555555u);
        auto* data = reinterpret_cast<std::uint8_t*>(words.data()) + c.offset;
        std::uint32_t state = 12345;
        for (std::size_t i = 0; i < c.size; ++i) {
            state = state * 1103515245u + 12345u;
            data[i] = static_cast<std::uint8_t>(state >> 16);
        }
        EXPECT_EQ(blockbind::check_byte(std::span<const std::uint8_t>(data, c.size)), c.check)
            << c.size << " bytes from offset " << c.offset;
    }
}

TEST(InputFault, FirstThatAppliesWins) {
    struct Case {
        const char* title;
        InputFacts facts;
        std::optional<std::string> line;
    } cases[] = {
        {"joinable", {false, 3, true}, std::nullopt},
        {"empty file", {false, 0, true}, std::nullopt},
        {"largest", {false, 65534, true}, std::nullopt},
        {"one byte too many",
         {false, 65535, true},
         "File in.bin is too big (65535 bytes, 65534 at most)"},
        // Only the full length tells: its low 32 bits are 3.
        {"beyond 4 GiB",
         {false, 4294967299, true},
         "File in.bin is too big (4294967299 bytes, 65534 at most)"},
        {"missing", {false, -1, false}, "File in.bin not found"},
        {"folder or device", {false, -2, false}, "Can't read in.bin"},
        {"cannot be examined", {false, -3, false}, "Can't read in.bin"},
        {"no permission", {false, 3, false}, "Can't read in.bin"},
        {"no permission and too big", {false, 70000, false}, "Can't read in.bin"},
        {"the output, existing", {true, 3, true}, "Can't read in.bin"},
        {"the output, not made yet", {true, -1, false}, "Can't read in.bin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(blockbind::input_fault("in.bin", c.facts), c.line) << c.title;
    }
}

TEST(ConsoleTexts, KeepNamesAsGiven) {
    EXPECT_EQ(blockbind::progress_line("my file.bin", 3), "add file my file.bin 3");
    EXPECT_EQ(blockbind::progress_line("a.bin,b.bin", 0), "add file a.bin,b.bin 0");
    EXPECT_EQ(blockbind::progress_line("big.bin", 65534), "add file big.bin 65534");
    EXPECT_EQ(blockbind::input_fault("my file.bin", {false, -1, false}),
              "File my file.bin not found");
    EXPECT_EQ(blockbind::cannot_create_line("out.tap"), "Can't create out.tap");
    EXPECT_EQ(blockbind::cannot_write_line("out.tap"), "Can't write out.tap");
}

}  // namespace
