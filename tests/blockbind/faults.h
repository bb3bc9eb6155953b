// What the fault library (faults.cpp, loaded into blockbind with LD_PRELOAD) breaks.
#pragma once

#include <cstddef>

namespace blockbind_faults {

// A zero-filled block of exactly this many bytes cannot be had.
inline constexpr std::size_t kRefusedSize = 12345;

// A regular file of exactly this length reads as if it had shrunk to half of it after its length
// was taken.
inline constexpr long kShrinkingSize = 12346;

}  // namespace blockbind_faults
