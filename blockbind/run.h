// The whole run of blockbind: joins files into one TAP image.
#pragma once

#include "platform/console.h"

namespace blockbind {

// Takes the output name and then the input names up to the first empty parameter, and writes
// the output as a TAP image of one block per input, in order, printing a progress line per
// input. Every input is checked before the output is created; an input is never created,
// truncated or written. On a failure after the output was created the incomplete output is
// removed. Releases every file and memory block it took on every path.
// Returns 0 when the whole image was written, 1 after a failure line (and a 1000 ms pause),
// 2 after the usage banner (and a 1000 ms pause).
int run_blockbind(platform::CommandLine& command_line);

}  // namespace blockbind
