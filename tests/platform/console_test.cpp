#include "platform/console.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/memory.h"

namespace platform {
namespace {

TEST(NumberText, DecimalAndHexadecimal) {
    struct Case {
        std::int64_t value;
        const char* decimal;
        const char* hex;
    };
    const Case cases[] = {
        {0, "0", "0"},
        {1015, "1015", "3F7"},
        {-1, "-1", "FFFFFFFFFFFFFFFF"},
        // A 32-bit sum with bit 31 set, sign-extended, shows 16 digits.
        {static_cast<std::int32_t>(0x80000000u), "-2147483648", "FFFFFFFF80000000"},
        {std::numeric_limits<std::int64_t>::max(), "9223372036854775807", "7FFFFFFFFFFFFFFF"},
        {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808", "8000000000000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decimal_text(c.value), c.decimal);
        EXPECT_EQ(hex_text(c.value), c.hex);
    }
}

TEST(CommandLine, GivesParametersInOrderThenEmptyText) {
    const char* argv[] = {"tool", "out.tap", "", "a b,c"};
    CommandLine command_line(4, argv);
    EXPECT_EQ(command_line.parameter_count(), 3);  // the empty one counts
    EXPECT_EQ(command_line.next_parameter(), "out.tap");
    EXPECT_EQ(command_line.next_parameter(), "");
    EXPECT_EQ(command_line.next_parameter(), "a b,c");
    EXPECT_EQ(command_line.next_parameter(), "");
    EXPECT_EQ(command_line.next_parameter(), "");
}

TEST(Memory, BlocksAreZeroFilledAndOnlyPositiveSizesAreGiven) {
    EXPECT_EQ(allocate_memory(0), nullptr);
    EXPECT_EQ(allocate_memory(-5), nullptr);
    std::uint8_t* block = allocate_memory(4096);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) {
        ASSERT_EQ(peek_byte(block + i), 0);
    }
    poke_byte(block + 7, 0x1FF);
    EXPECT_EQ(peek_byte(block + 7), 0xFF);
    free_memory(block);
    free_memory(nullptr);
    std::uint8_t unknown = 0;
    free_memory(&unknown);  // not ours: ignored
    free_all_memory();
}

}  // namespace
}  // namespace platform
