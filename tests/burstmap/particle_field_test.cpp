// The particle field as set up: origins, start pixels and steps, checked to the bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "burstmap/burstmap.h"

namespace {

using burstmap::CellOrderTable;
using burstmap::ParticleField;

// Speeds from a script: the k drawn for particle i is script[i % size]. Records each n asked.
struct ScriptedSpeeds {
    std::vector<int> script;
    std::vector<int> asked;
    int operator()(int n) {
        int k = script[asked.size() % script.size()];
        asked.push_back(n);
        return k;
    }
};

ParticleField field_with_speeds(std::vector<int> script, ScriptedSpeeds* record = nullptr) {
    ParticleField field;
    CellOrderTable table;
    ScriptedSpeeds speeds{std::move(script), {}};
    burstmap::set_up_field(field, table, std::ref(speeds));
    if (record != nullptr) {
        *record = speeds;
    }
    return field;
}

TEST(ParticleField, SetsUp1456ParticlesAndAnEmptyTable) {
    ParticleField field;
    CellOrderTable table;
    table.order.fill(7);
    table.cells_entered = 99;
    ScriptedSpeeds speeds{{5}, {}};
    burstmap::set_up_field(field, table, std::ref(speeds));

    EXPECT_EQ(field.particle_count, 1456);
    EXPECT_EQ(speeds.asked, std::vector<int>(1456, 127));  // one speed per particle, 0..127
    EXPECT_EQ(table.cells_entered, 0);
    for (std::int16_t entry : table.order) {
        ASSERT_EQ(entry, 0);
    }
    // Every entry filled: the origins span the whole ellipse, none is left at 0.
    auto [min_x, max_x] = std::minmax_element(field.origin_x.begin(), field.origin_x.end());
    auto [min_y, max_y] = std::minmax_element(field.origin_y.begin(), field.origin_y.end());
    EXPECT_EQ(*min_x, 1);
    EXPECT_EQ(*max_x, 511);
    EXPECT_EQ(*min_y, 1);
    EXPECT_EQ(*max_y, 383);
}

TEST(ParticleField, OriginsAndStartPixels) {
    ParticleField field = field_with_speeds({0});
    struct Case {
        int particle;
        float origin_x, origin_y;  // the point on the ellipse
        float pos_x, pos_y;        // the start pixel of the particle's quadrant
    };
    const Case cases[] = {
        // First group, r = 255, j = 0: members 1/8, 2/5, 3/7 and 4/6 share origins.
        {0, 256, 383, 256, 192},
        {1, 511, 192, 256, 192},
        {2, 1, 192, 255, 191},
        {3, 256, 1, 255, 191},
        {4, 511, 192, 256, 191},
        {5, 256, 1, 256, 191},
        {6, 1, 192, 255, 192},
        {7, 256, 383, 255, 192},
        // Second group, r = 255, j = 1.
        {8, 257, 383, 256, 192},
        {9, 511, 193, 256, 192},
        {10, 1, 191, 255, 191},
        {11, 255, 1, 255, 191},
        {12, 511, 191, 256, 191},
        {13, 257, 1, 256, 191},
        {14, 1, 193, 255, 192},
        {15, 255, 383, 255, 192},
        // Third group, r = 255, j = 2: 254 * 0.75 = 190.5 would round to 190 and 193.5 to 194;
        // the scale one unit above 0.75 gives 191 and 193 for members 3, 5 and 7.
        {16, 258, 383, 256, 192},
        {17, 511, 194, 256, 192},
        {18, 1, 191, 255, 191},
        {19, 254, 1, 255, 191},
        {20, 511, 191, 256, 191},
        {21, 258, 1, 256, 191},
        {22, 1, 193, 255, 192},
        {23, 254, 383, 255, 192},
        // r = 250, j = 51: 6 * scale = 4.5 and a little, so members 4 and 6 get 5, not 4, and
        // members 1 and 8 get 380.
        {408, 307, 380, 256, 192},
        {411, 205, 5, 255, 191},
        {413, 307, 5, 256, 191},
        {415, 205, 380, 255, 192},
        // Last group, r = 181, j = 181: the diagonal.
        {1448, 437, 328, 256, 192},
        {1449, 437, 328, 256, 192},
        {1450, 75, 56, 255, 191},
        {1451, 75, 56, 255, 191},
        {1452, 437, 56, 256, 191},
        {1453, 437, 56, 256, 191},
        {1454, 75, 328, 255, 192},
        {1455, 75, 328, 255, 192},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.particle);
        EXPECT_EQ(field.origin_x[c.particle], c.origin_x);
        EXPECT_EQ(field.origin_y[c.particle], c.origin_y);
        EXPECT_EQ(field.pos_x[c.particle], c.pos_x);
        EXPECT_EQ(field.pos_y[c.particle], c.pos_y);
    }
}

TEST(ParticleField, OutlineWalksTheOctantOnceWithJCarriedOver) {
    ParticleField field = field_with_speeds({0});
    // Group g is the point (j, r) with j = g; member 1 lies at 256 + j and member 2 at 256 + r.
    struct Case {
        int group;
        int r;
    };
    const Case cases[] = {{0, 255},  {23, 255}, {24, 254},  {32, 254},  {33, 253}, {40, 252},
                          {46, 251}, {51, 250}, {179, 183}, {180, 182}, {181, 181}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        EXPECT_EQ(field.origin_x[8 * c.group], 256 + c.group);
        EXPECT_EQ(field.origin_x[8 * c.group + 1], 256 + c.r);
    }
}

TEST(ParticleField, NeighbouringOctantsShareOrigins) {
    ParticleField field = field_with_speeds({0});
    std::set<std::pair<float, float>> origins;
    for (int i = 0; i < field.particle_count; ++i) {
        origins.insert({field.origin_x[i], field.origin_y[i]});
    }
    EXPECT_EQ(origins.size(), 1333u);
}

TEST(ParticleField, TheScaleAboveThreeQuartersMoves89Origins) {
    ParticleField field = field_with_speeds({0});
    int moved = 0;
    for (int group = 0; group < 182; ++group) {
        const int first = 8 * group;
        const double j = field.origin_x[first] - 256;
        const double r = field.origin_x[first + 1] - 256;
        // origin_y of members 1 to 8 as 0.75 exactly would give them.
        const double with_three_quarters[8] = {
            r * 0.75 + 192,   j * 0.75 + 192,   (256 - j) * 0.75,       (256 - r) * 0.75,
            (256 - j) * 0.75, (256 - r) * 0.75, 384 - (256 - j) * 0.75, 384 - (256 - r) * 0.75,
        };
        for (int member = 0; member < 8; ++member) {
            moved += field.origin_y[first + member] != std::nearbyint(with_three_quarters[member]);
        }
    }
    EXPECT_EQ(moved, 89);
}

TEST(ParticleField, StepsOfAMostlyVerticalAndAMostlyHorizontalParticle) {
    // Particle 0: origin (256, 383) from (256, 192), mostly vertical: step_x = 0 and step_y =
    // (191 / 192) * speed. Particle 2: origin (1, 192) from (255, 191), mostly horizontal:
    // step_x = (-254 / 256) * speed and step_y = float(1 / -254) * speed, upward although the
    // origin lies below.
    struct Case {
        int k;  // speed = (k + 1) / 64
        float step_y_0;
        float step_x_2;
        float step_y_2;
    };
    const Case cases[] = {
        {0, 0x1.fd5556p-7f, -0x1.fcp-7f, -0x1.020408p-14f},   // the slowest
        {63, 0x1.fd5556p-1f, -0x1.fcp-1f, -0x1.020408p-8f},   // speed 1
        {127, 0x1.fd5556p+0f, -0x1.fcp+0f, -0x1.020408p-7f},  // the fastest
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k);
        // Particles 0 and 2 draw the first and third speed; the others must not disturb them.
        ParticleField field = field_with_speeds({c.k, 99, c.k, 99});
        EXPECT_EQ(field.step_x[0], 0.0f);
        EXPECT_EQ(field.step_y[0], c.step_y_0);
        EXPECT_EQ(field.step_x[2], c.step_x_2);
        EXPECT_EQ(field.step_y[2], c.step_y_2);
    }
}

TEST(ParticleField, MajorStepStaysBelowTheSpeed) {
    for (int k : {0, 127}) {
        SCOPED_TRACE(k);
        ParticleField field = field_with_speeds({k});
        const float speed = (k + 1) / 64.0f;
        for (int i = 0; i < field.particle_count; ++i) {
            float major = std::max(std::fabs(field.step_x[i]), std::fabs(field.step_y[i]));
            ASSERT_LE(major, speed) << "particle " << i;
            ASSERT_GT(major, 0.0f) << "particle " << i;
        }
    }
}

TEST(ParticleField, MinorStepFollowsTheRatioNotItsOwnDisplacement) {
    ParticleField field = field_with_speeds({37, 5, 120, 64});
    int away = 0;
    for (int i = 0; i < field.particle_count; ++i) {
        float dx = field.origin_x[i] - field.pos_x[i];
        float dy = field.origin_y[i] - field.pos_y[i];
        bool vertical = std::fabs(dy) >= std::fabs(dx);
        float minor_displacement = vertical ? dx : dy;
        float minor_step = vertical ? field.step_x[i] : field.step_y[i];
        if (minor_step != 0 && (minor_step > 0) != (minor_displacement > 0)) {
            ++away;
        }
    }
    EXPECT_EQ(away, 722);
}

}  // namespace
