// What kind of build the tests run in.
#pragma once

namespace test_support {

// True in the sanitizer build (ZXKIT_SANITIZE): there every program carries AddressSanitizer
// and UndefinedBehaviorSanitizer. Tests that cannot run beside them skip themselves there with
// the reason: valgrind cannot run such a program, and the sanitizers' own allocator and
// interceptors take the calls an LD_PRELOAD fault library would replace.
#ifdef ZXKIT_SANITIZE_BUILD
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

}  // namespace test_support
