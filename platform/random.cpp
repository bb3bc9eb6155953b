#include "platform/random.h"

#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <random>

namespace platform {

namespace {

std::mt19937_64& generator() {
    // Nanoseconds of the clock, mixed with the process id so that two runs started in the same
    // clock tick (a coarse clock, or parallel test runs) still differ.
    static std::mt19937_64 engine = [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::uint64_t nanoseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                                    static_cast<std::uint64_t>(now.tv_nsec);
        std::seed_seq seed{static_cast<std::uint32_t>(nanoseconds),
                           static_cast<std::uint32_t>(nanoseconds >> 32),
                           static_cast<std::uint32_t>(getpid())};
        return std::mt19937_64(seed);
    }();
    return engine;
}

}  // namespace

int random_integer(int n) {
    if (n <= 0) {
        return 0;
    }
    return std::uniform_int_distribution<int>(0, n)(generator());
}

}  // namespace platform
