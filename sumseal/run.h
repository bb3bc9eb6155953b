// The whole run of sumseal: check the sum trailer of one SCL image, append a correct one when
// it does not match, report, and wait for a key.
#pragma once

#include "platform/console.h"

namespace sumseal {

// Exit statuses of a run.
inline constexpr int kStatusDone = 0;    // checksums equal, or the new trailer appended
inline constexpr int kStatusFailed = 1;  // a failure message was printed
inline constexpr int kStatusUsage = 2;   // no parameter: the usage text was printed

// Runs sumseal on the first parameter (further parameters are ignored) and returns the exit
// status. Needs platform::open_console first. An image is only ever read or extended by 4 bytes;
// a failed extension is taken back, so a failure leaves the image byte for byte as it was. A
// missing name is reported, never created. Ends with a wait for a key, which also ends when no
// key can ever come (standard input at its end); how the wait ended does not change the status.
int run_sumseal(platform::CommandLine& command_line);

}  // namespace sumseal
