// The two conversions of a double to an integer that the field and the cell entry use.
#pragma once

#include <cmath>

namespace burstmap {

// The nearest integer, half-way cases to the even one (127.5 -> 128, 128.5 -> 128), as the
// default IEEE rounding mode gives.
inline int nearest(double value) {
    return static_cast<int>(std::nearbyint(value));
}

// Truncation toward zero: -0.0625 -> 0.
inline int integer_part(double value) {
    return static_cast<int>(value);
}

}  // namespace burstmap
