// In-memory images: colour values, clipping, and no write outside the image.
#include "platform/image.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>

namespace {

using platform::Colour;

TEST(Image, ColourValuesAndThePixelLayoutAWindowTakes) {
    EXPECT_EQ(platform::rgb_colour(0x12, 0x34, 0x56), 0x563412u);  // red + 256 green + 65536 blue
    EXPECT_EQ(platform::xrgb_from_colour(0x563412u), 0x123456u);

    std::optional<platform::Image> image;
    ASSERT_TRUE(platform::create_image(image, 3, 2));
    std::optional<platform::Drawing> drawing =
        platform::start_drawing(platform::image_output(image));
    ASSERT_TRUE(drawing);
    drawing->plot_pixel(2, 1, platform::rgb_colour(0x12, 0x34, 0x56));
    EXPECT_EQ(image->pixel(2, 1), 0x563412u);
    EXPECT_EQ(image->xrgb_pixels()[5], 0x123456u);
    EXPECT_EQ(image->xrgb_pixels()[0], 0u);  // a new image is black
}

TEST(Image, ANewImageIsBlackEvenWhereTheOldOnesMemoryIsReused) {
    const platform::Colour white = platform::rgb_colour(255, 255, 255);
    std::optional<platform::Image> image;
    ASSERT_TRUE(platform::create_image(image, 4, 3));
    std::optional<platform::Drawing> drawing =
        platform::start_drawing(platform::image_output(image));
    drawing->fill_box(0, 0, 4, 3, white);
    platform::stop_drawing(drawing);

    for (auto [width, height] : {std::pair{4, 3}, {3, 4}, {5, 5}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        ASSERT_TRUE(platform::create_image(image, width, height));
        EXPECT_EQ(image->width(), width);
        EXPECT_EQ(image->height(), height);
        for (std::uint32_t pixel : image->xrgb_pixels()) {
            ASSERT_EQ(pixel, 0u);
        }
        drawing = platform::start_drawing(platform::image_output(image));
        drawing->fill_box(0, 0, width, height, white);
    }
}

TEST(Image, NothingToDrawOnWithoutAnImage) {
    std::optional<platform::Image> image;
    ASSERT_TRUE(platform::create_image(image, 2, 2));
    EXPECT_FALSE(platform::create_image(image, 0, 384));
    EXPECT_FALSE(image);  // the old image is gone all the same
    EXPECT_FALSE(platform::create_image(image, 512, -1));
    EXPECT_EQ(platform::image_output(image), nullptr);
    EXPECT_EQ(platform::image_handle(image), nullptr);
    EXPECT_FALSE(platform::start_drawing(nullptr));
}

TEST(Image, BoxesAreClippedAndOutsidePointsIgnored) {
    const Colour mark = platform::rgb_colour(255, 0, 0);
    struct Case {
        int x, y, width, height;
        int left, top, right, bottom;  // the pixels set, inclusive; right < left: none
    };
    const Case cases[] = {
        {1, 1, 2, 3, 1, 1, 2, 3},                    // inside
        {-2, -2, 4, 4, 0, 0, 1, 1},                  // over the top-left corner
        {4, 3, 10, 10, 4, 3, 5, 4},                  // over the bottom-right corner
        {6, 0, 2, 2, 0, 0, -1, -1},                  // right of the image
        {0, 0, 0, 5, 0, 0, -1, -1},                  // no width
        {INT_MAX - 1, 0, INT_MAX, 1, 0, 0, -1, -1},  // x + width beyond int
        {-INT_MAX, 0, INT_MAX, 1, 0, 0, -1, -1},     // ends left of the image
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.x << ", " << c.y << ", " << c.width << ", " << c.height);
        std::optional<platform::Image> image;
        platform::create_image(image, 6, 5);
        std::optional<platform::Drawing> drawing =
            platform::start_drawing(platform::image_output(image));
        drawing->fill_box(c.x, c.y, c.width, c.height, mark);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 6; ++x) {
                bool inside = x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
                ASSERT_EQ(image->pixel(x, y), inside ? mark : 0u) << "at " << x << ", " << y;
            }
        }
    }

    // Points just outside each edge change nothing.
    std::optional<platform::Image> image;
    platform::create_image(image, 6, 5);
    std::optional<platform::Drawing> drawing =
        platform::start_drawing(platform::image_output(image));
    for (auto [x, y] : {std::pair{-1, 0}, {6, 0}, {0, -1}, {0, 5}, {INT_MIN, INT_MAX}}) {
        drawing->plot_pixel(x, y, mark);
    }
    for (std::uint32_t pixel : image->xrgb_pixels()) {
        ASSERT_EQ(pixel, 0u);
    }
}

}  // namespace
