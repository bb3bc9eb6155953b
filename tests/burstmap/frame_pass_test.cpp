// The frame pass and the cell entry, drawn into an in-memory image with scripted speeds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "burstmap/burstmap.h"
#include "platform/image.h"

namespace {

using burstmap::CellOrderTable;
using burstmap::FramePass;
using burstmap::ParticleField;
using platform::Colour;

const Colour kBlack = platform::rgb_colour(0, 0, 0);
const Colour kBlue = platform::rgb_colour(0, 0, 255);
const Colour kCyan = platform::rgb_colour(0, 255, 255);
const Colour kWhite = platform::rgb_colour(255, 255, 255);

// A saver that keeps what it was handed and answers as told.
struct RecordingSaver {
    bool succeeds = true;
    std::vector<CellOrderTable> saved;
    burstmap::ScreenFileSaver saver() {
        return [this](const CellOrderTable& table) {
            saved.push_back(table);
            return succeeds;
        };
    }
};

// One frame pass drawn into a fresh black 512 x 384 image.
struct Pass {
    platform::Image image;
    FramePass result;
};

Pass draw_pass(ParticleField& field, CellOrderTable& table,
               const burstmap::ScreenFileSaver& saver) {
    std::optional<platform::Image> image;
    platform::create_image(image, 512, 384);
    std::optional<platform::Drawing> drawing =
        platform::start_drawing(platform::image_output(image));
    FramePass result = burstmap::draw_frame_pass(*drawing, field, table, saver);
    platform::stop_drawing(drawing);
    return {std::move(*image), result};
}

std::vector<std::pair<int, int>> pixels_of(const platform::Image& image, Colour colour) {
    std::vector<std::pair<int, int>> found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour) {
                found.push_back({x, y});
            }
        }
    }
    return found;
}

// The picture without particles: black, the blue box at x 128..383, y 96..287, cyan origins.
Colour background_at(int x, int y, const std::set<std::pair<int, int>>& origins) {
    if (origins.count({x, y}) != 0) {
        return kCyan;
    }
    return x >= 128 && x <= 383 && y >= 96 && y <= 287 ? kBlue : kBlack;
}

// A field of one particle with its origin at (1, 1), out of the way.
ParticleField one_particle(float x, float y, float step_x, float step_y) {
    ParticleField field;
    field.particle_count = 1;
    field.origin_x[0] = 1;
    field.origin_y[0] = 1;
    field.pos_x[0] = x;
    field.pos_y[0] = y;
    field.step_x[0] = step_x;
    field.step_y[0] = step_y;
    return field;
}

TEST(FramePass, FirstPictureAndFirstEntries) {
    ParticleField field;
    CellOrderTable table;
    burstmap::set_up_field(field, table, [](int) { return 63; });  // speed 1
    RecordingSaver saver;
    Pass pass = draw_pass(field, table, saver.saver());

    EXPECT_EQ(pass.result, FramePass::particles_inside);
    std::set<std::pair<int, int>> origins;
    for (int i = 0; i < field.particle_count; ++i) {
        origins.insert({static_cast<int>(field.origin_x[i]), static_cast<int>(field.origin_y[i])});
    }
    const std::set<std::pair<int, int>> centre = {{255, 191}, {256, 191}, {255, 192}, {256, 192}};
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 512; ++x) {
            Colour expected = centre.count({x, y}) ? kWhite : background_at(x, y, origins);
            ASSERT_EQ(pass.image.pixel(x, y), expected) << "at " << x << ", " << y;
        }
    }
    // Cells 400, 400 (particles 0 and 1: the first entry writes 0), 367, 368 and 399.
    EXPECT_EQ(table.cells_entered, 5);
    for (int cell = 0; cell < 768; ++cell) {
        int expected = cell == 400 ? 1 : cell == 367 ? 2 : cell == 368 ? 3 : cell == 399 ? 4 : 0;
        ASSERT_EQ(table.order[cell], expected) << "cell " << cell;
    }
    EXPECT_TRUE(saver.saved.empty());
    // Every particle moved one step from its start pixel.
    EXPECT_EQ(field.pos_x[0], 256.0f);
    EXPECT_EQ(field.pos_y[0], 192.0f + 0x1.fd5556p-1f);
    EXPECT_EQ(field.pos_x[2], 255.0f - 0x1.fcp-1f);
    EXPECT_EQ(field.pos_y[2], 191.0f - 0x1.020408p-8f);
}

TEST(FramePass, InsideTestConversionAndCellOfOneParticle) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float x, y;
        int dot_x, dot_y;  // where the white dot lands; -1: outside, not drawn
        int cell;          // the cell entered
    };
    const Case cases[] = {
        // The strict bounds 127 < x < 383, 95 < y < 287: the bounds themselves are outside.
        {127, 200, -1, -1, 0},
        {383, 200, -1, -1, 0},
        {200, 95, -1, -1, 0},
        {200, 287, -1, -1, 0},
        {nan, 200, -1, -1, 0},
        {200, nan, -1, -1, 0},
        // Just inside: the dot falls one pixel left of or above the blue box; truncation still
        // puts the position into column 0 or row 0.
        {127.25f, 200, 127, 200, 13 * 32 + 0},
        {200, 95.25f, 200, 95, 0 * 32 + 9},
        {382.75f, 286.75f, 383, 287, 23 * 32 + 31},
        {127.5f, 95.5f, 128, 96, 0},
        // Nearest, half-way to even.
        {128.5f, 200.5f, 128, 200, 13 * 32 + 0},
        {382.5f, 191.5f, 382, 192, 11 * 32 + 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        ParticleField field = one_particle(c.x, c.y, 0.5f, -0.25f);
        CellOrderTable table;
        table.cells_entered = 1;  // so that the entry writes 1, not the 0 of the first entry
        RecordingSaver saver;
        Pass pass = draw_pass(field, table, saver.saver());

        std::vector<std::pair<int, int>> white = pixels_of(pass.image, kWhite);
        if (c.dot_x < 0) {
            EXPECT_EQ(pass.result, FramePass::none_inside);
            EXPECT_TRUE(white.empty());
            EXPECT_EQ(table.cells_entered, 1);
            EXPECT_TRUE(field.pos_x[0] == c.x || std::isnan(c.x));  // not moved
            EXPECT_TRUE(field.pos_y[0] == c.y || std::isnan(c.y));
        } else {
            EXPECT_EQ(pass.result, FramePass::particles_inside);
            EXPECT_EQ(white, (std::vector<std::pair<int, int>>{{c.dot_x, c.dot_y}}));
            EXPECT_EQ(table.cells_entered, 2);
            EXPECT_EQ(table.order[c.cell], 1);
            EXPECT_EQ(field.pos_x[0], c.x + 0.5f);
            EXPECT_EQ(field.pos_y[0], c.y - 0.25f);
        }
        EXPECT_EQ(pass.image.pixel(1, 1), kCyan);
    }
}

TEST(FramePass, TheLastInsideParticleIsStillDrawnAsItLeaves) {
    ParticleField field = one_particle(382, 200, 2, 0);
    CellOrderTable table;
    RecordingSaver saver;

    Pass leaving = draw_pass(field, table, saver.saver());
    EXPECT_EQ(leaving.result, FramePass::particles_inside);
    EXPECT_EQ(pixels_of(leaving.image, kWhite), (std::vector<std::pair<int, int>>{{382, 200}}));
    EXPECT_EQ(field.pos_x[0], 384.0f);

    Pass after = draw_pass(field, table, saver.saver());
    EXPECT_EQ(after.result, FramePass::none_inside);
    EXPECT_TRUE(pixels_of(after.image, kWhite).empty());
    EXPECT_EQ(field.pos_x[0], 384.0f);
}

TEST(FramePass, NoParticlesDrawsTheBoxesAndEndsTheAnimation) {
    ParticleField field;
    CellOrderTable table;
    burstmap::set_up_field(field, table, [](int) { return 0; });
    field.particle_count = 0;
    RecordingSaver saver;
    Pass pass = draw_pass(field, table, saver.saver());

    EXPECT_EQ(pass.result, FramePass::none_inside);
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 512; ++x) {
            ASSERT_EQ(pass.image.pixel(x, y), background_at(x, y, {})) << "at " << x << ", " << y;
        }
    }
}

// A table with every cell but `missing` entered, cells_entered at 768: the next new cell fills
// it. The order values run backwards over the cells so that the file order is not the cell order.
CellOrderTable all_but(int missing) {
    CellOrderTable table;
    int value = 767;
    for (int cell = 0; cell < 768; ++cell) {
        if (cell != missing) {
            table.order[cell] = static_cast<std::int16_t>(value--);
        }
    }
    table.cells_entered = 768;
    return table;
}

// Three particles inside: 0 in an entered cell, 1 in the missing cell 0, 2 in another.
ParticleField three_particles() {
    ParticleField field;
    field.particle_count = 3;
    const float positions[3][2] = {{300, 200}, {130, 100}, {200, 250}};
    for (int i = 0; i < 3; ++i) {
        field.origin_x[i] = 10.0f + i;
        field.origin_y[i] = 10;
        field.pos_x[i] = positions[i][0];
        field.pos_y[i] = positions[i][1];
        field.step_x[i] = 1;
        field.step_y[i] = 1;
    }
    return field;
}

TEST(FramePass, TheEntryThatFillsTheTableWritesTheOrderAndEndsThePassThere) {
    ParticleField field = three_particles();
    CellOrderTable table = all_but(0);
    RecordingSaver saver;
    Pass pass = draw_pass(field, table, saver.saver());

    EXPECT_EQ(pass.result, FramePass::screen_file_written);
    ASSERT_EQ(saver.saved.size(), 1u);
    EXPECT_EQ(saver.saved[0].cells_entered, 769);
    EXPECT_EQ(saver.saved[0].order[0], 768);
    // The words: the cell holding 1 first (cell 767, since the values run backwards), the cell
    // just entered last.
    std::array<std::uint16_t, 768> words = burstmap::screen_file_words(saver.saved[0]);
    for (int v = 1; v <= 767; ++v) {
        ASSERT_EQ(words[v - 1], 768 - v) << "order value " << v;
    }
    EXPECT_EQ(words[767], 0);
    // Particle 0 was drawn and moved; particle 1 and everything after it were not.
    EXPECT_EQ(pixels_of(pass.image, kWhite), (std::vector<std::pair<int, int>>{{300, 200}}));
    EXPECT_EQ(field.pos_x[0], 301.0f);
    EXPECT_EQ(field.pos_x[1], 130.0f);
    EXPECT_EQ(field.pos_x[2], 200.0f);
    EXPECT_EQ(pass.image.pixel(12, 10), kBlack);  // particle 2's origin: not reached
}

TEST(FramePass, AFailedSaveLetsThePassGoOnAndIsNeverRetried) {
    ParticleField field = three_particles();
    CellOrderTable table = all_but(0);
    RecordingSaver saver{false, {}};

    Pass first = draw_pass(field, table, saver.saver());
    EXPECT_EQ(first.result, FramePass::particles_inside);
    EXPECT_EQ(pixels_of(first.image, kWhite).size(), 3u);
    EXPECT_EQ(field.pos_x[1], 131.0f);
    EXPECT_EQ(field.pos_x[2], 201.0f);

    Pass second = draw_pass(field, table, saver.saver());
    EXPECT_EQ(second.result, FramePass::particles_inside);
    EXPECT_EQ(saver.saved.size(), 1u);
    EXPECT_EQ(table.cells_entered, 769);
}

TEST(FramePass, AWholeRunEntersEveryCellOnceWhateverTheSpeeds) {
    struct Case {
        const char* name;
        burstmap::RandomInteger speed;
    };
    int turn = 0;
    const Case cases[] = {
        {"slowest", [](int) { return 0; }},
        {"fastest", [](int) { return 127; }},
        {"mixed", [&turn](int n) { return turn++ * 37 % (n + 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParticleField field;
        CellOrderTable table;
        burstmap::set_up_field(field, table, c.speed);
        RecordingSaver saver;
        FramePass result = FramePass::particles_inside;
        int passes = 0;
        while (result == FramePass::particles_inside && passes < 20000) {
            result = draw_pass(field, table, saver.saver()).result;
            ++passes;
        }
        EXPECT_EQ(result, FramePass::screen_file_written);
        ASSERT_EQ(saver.saved.size(), 1u);
        std::array<std::uint16_t, 768> words = burstmap::screen_file_words(saver.saved[0]);
        EXPECT_EQ(std::vector<std::uint16_t>(words.begin(), words.begin() + 4),
                  (std::vector<std::uint16_t>{400, 367, 368, 399}));
        std::set<std::uint16_t> cells(words.begin(), words.end());
        EXPECT_EQ(cells.size(), 768u);
        EXPECT_EQ(*cells.rbegin(), 767);
    }
}

}  // namespace
