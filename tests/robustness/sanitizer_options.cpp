// The sanitizers' settings, built into the sanitized sound-server tests so that however they are
// run (by ctest, by hand, under a debugger) every report ends the run with a failure.
#include <sanitizer/common_interface_defs.h>

extern "C" {
#if defined(__SANITIZE_THREAD__)
const char* __tsan_default_options() {
  return "halt_on_error=1:second_deadlock_stack=1:suppressions=" TESSEL_TSAN_SUPPRESSIONS;
}
#endif
#if defined(__SANITIZE_ADDRESS__)
const char* __asan_default_options() {
  return "halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1";
}
const char* __lsan_default_options() {
  return "suppressions=" TESSEL_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
const char* __ubsan_default_options() {
  return "halt_on_error=1:print_stacktrace=1";
}
#endif
}
