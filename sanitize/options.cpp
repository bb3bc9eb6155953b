// The sanitizers' run-time options, built into every program and test of the sanitizer build,
// so that a program behaves the same however it is started: by a test, through tmux or setpriv,
// or by hand. ASAN_OPTIONS, UBSAN_OPTIONS and LSAN_OPTIONS still override them.
//
// Every report ends the process at once with status 86, which no program of the kit uses, so a
// report can never pass for one of the statuses 0, 1 and 2 that the tests expect; the report
// itself goes to standard error, which the end-to-end tests also compare.

extern "C" {

const char* __asan_default_options() {
    return "halt_on_error=1:exitcode=86:detect_leaks=1:check_initialization_order=1:"
           "strict_init_order=1:detect_stack_use_after_return=1";
}

const char* __ubsan_default_options() {
    return "halt_on_error=1:exitcode=86:print_stacktrace=1";
}

// Only leaks of other people's libraries are suppressed; leaks.supp says which and why.
const char* __lsan_default_options() {
    return "suppressions=" ZXKIT_LEAK_SUPPRESSIONS ":print_suppressions=0";
}

}  // extern "C"
