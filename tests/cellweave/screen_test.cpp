#include "cellweave/screen.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace cellweave {
namespace {

TEST(SourceIndex, SamplePairsOfTheMapping) {
    struct Pair {
        std::size_t output;
        std::size_t input;
    };
    const Pair pairs[] = {
        {0, 0},        // third 0, column 0, row 0, line 0
        {1, 256},      // next pixel line of the same cell
        {2, 512},      //
        {7, 1792},     // last pixel line of the first cell
        {8, 32},       // next character row, same column
        {15, 1824},    //
        {56, 224},     // last cell of column 0 in third 0
        {63, 2016},    //
        {64, 1},       // column 1 starts
        {2047, 2047},  // last byte of third 0
        {2048, 2048},  // third 1 starts at its own place
        {2049, 2304},  //
        {6143, 6143},  // last bitmap byte
        {6144, 6144},  // attributes keep their place
        {6911, 6911},  //
    };
    for (const Pair& pair : pairs) {
        EXPECT_EQ(source_index(pair.output), pair.input) << "output index " << pair.output;
    }
}

TEST(ReorderScreen, IsAPermutationThatFollowsTheMapping) {
    std::vector<std::uint8_t> source(kScreenSize), output(kScreenSize);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    reorder_screen(source.data(), output.data(), source.size());
    std::set<std::size_t> taken;
    for (std::size_t k = 0; k < output.size(); ++k) {
        ASSERT_EQ(output[k], source[source_index(k)]) << "output index " << k;
        taken.insert(source_index(k));
    }
    EXPECT_EQ(taken.size(), source.size());
}

TEST(ReorderScreen, AppliedTwiceIsNotTheIdentity) {
    std::vector<std::uint8_t> source(kBitmapSize), once(kBitmapSize), twice(kBitmapSize);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    }
    reorder_screen(source.data(), once.data(), source.size());
    reorder_screen(once.data(), twice.data(), once.size());
    EXPECT_NE(twice, source);
}

TEST(IsScreenSize, OnlyTheTwoScreenSizes) {
    for (std::int64_t size : {-2, -1, 0, 6143, 6145, 6911, 6913, 13824}) {
        EXPECT_FALSE(is_screen_size(size)) << size;
    }
    EXPECT_TRUE(is_screen_size(6144));
    EXPECT_TRUE(is_screen_size(6912));
}

}  // namespace
}  // namespace cellweave
