// Random numbers for programs that want a different run every time.
#pragma once

namespace platform {

// A uniformly distributed integer from 0 to n inclusive (0 when n is 0 or less). The generator is
// seeded from the clock at the first call, finely enough that two runs started back to back
// draw different numbers; there is no way to choose the seed.
int random_integer(int n);

}  // namespace platform
