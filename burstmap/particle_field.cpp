#include <bit>
#include <cmath>
#include <cstdint>

#include "burstmap/arithmetic.h"
#include "burstmap/burstmap.h"

namespace burstmap {

namespace {

// One unit above 0.75: it scales vertical distances to three quarters of horizontal ones, and
// that unit tips some half-way roundings of the origins (254 * D rounds to 191, not 190).
const double kVerticalScale = std::bit_cast<double>(std::uint64_t{0x3FE8000000000001});

// The eight particles of the point (j, r) of the first octant, one per octant, each starting on
// the pixel next to the centre in the quadrant of its origin.
void add_group(ParticleField& field, int r, int j) {
    const double d = kVerticalScale;
    struct Member {
        int origin_x;
        double origin_y;  // before the nearest conversion
        int start_x;
        int start_y;
    };
    const Member members[8] = {
        {256 + j, r * d + 192, 256, 192},         {256 + r, j * d + 192, 256, 192},
        {256 - r, (256 - j) * d, 255, 191},       {256 - j, (256 - r) * d, 255, 191},
        {256 + r, (256 - j) * d, 256, 191},       {256 + j, (256 - r) * d, 256, 191},
        {256 - r, 384 - (256 - j) * d, 255, 192}, {256 - j, 384 - (256 - r) * d, 255, 192},
    };
    for (const Member& member : members) {
        int i = field.particle_count;
        field.origin_x[i] = static_cast<float>(member.origin_x);
        field.origin_y[i] = static_cast<float>(nearest(member.origin_y));
        field.pos_x[i] = static_cast<float>(member.start_x);
        field.pos_y[i] = static_cast<float>(member.start_y);
        ++field.particle_count;
    }
}

// Walks the first octant of a circle of radius 256 from (0, 255) to (181, 181). j carries over
// from one r to the next, so each j is visited once: 182 groups.
void enumerate_outline(ParticleField& field) {
    int r = 256;
    int j = 0;
    const int r2 = r * r;
    field.particle_count = 0;
    do {
        --r;
        int bound = nearest(std::sqrt(static_cast<double>(r2 - r * r)));
        do {
            add_group(field, r, j);
            ++j;
        } while (j <= bound);
    } while (j <= r);
}

// The major component covers (major displacement / semi-axis) * speed per frame; the minor
// component is ratio * speed, so its sign is that of the ratio, not of its own displacement.
void set_step(ParticleField& field, int i, float speed) {
    float dx = static_cast<float>(double{field.origin_x[i]} - double{field.pos_x[i]});
    float dy = static_cast<float>(double{field.origin_y[i]} - double{field.pos_y[i]});
    if (std::fabs(double{dy}) >= std::fabs(double{dx})) {
        float ratio = static_cast<float>(double{dx} / double{dy});
        field.step_x[i] = static_cast<float>(double{ratio} * double{speed});
        field.step_y[i] = static_cast<float>(double{dy} / 192 * double{speed});
    } else {
        float ratio = static_cast<float>(double{dy} / double{dx});
        field.step_x[i] = static_cast<float>(double{dx} / 256 * double{speed});
        field.step_y[i] = static_cast<float>(double{ratio} * double{speed});
    }
}

}  // namespace

void set_up_field(ParticleField& field, CellOrderTable& table,
                  const RandomInteger& random_integer) {
    field = ParticleField{};
    enumerate_outline(field);
    for (int i = 0; i < field.particle_count; ++i) {
        int k = random_integer(127);
        float speed = static_cast<float>(static_cast<double>(k + 1) / 64);
        set_step(field, i, speed);
    }
    table = CellOrderTable{};
}

}  // namespace burstmap
