#pragma once

#include "platform/console.h"

namespace cellweave {

// The whole run on the console: reads the screen file named by the first parameter and writes
// it reordered to name + ".rec". Returns the exit status: 0 when the .rec file was written
// whole, 1 after a failure message, 2 after the usage banner.
int run_cellweave(platform::CommandLine& command_line);

}  // namespace cellweave
