// SPDX-License-Identifier: GPL-3.0-or-later
// Options the sanitizer runtimes read at start-up, built into every test
// program of a sanitizer build, so that ctest and a test run by hand agree.
// The suppression files name only findings inside libraries that are not ours.

extern "C" {

// Also catches a coroutine or lambda that outlives the stack frame it refers
// to, and statics used before their initialisation.
const char* __asan_default_options() {
  return "detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1";
}

const char* __lsan_default_options() {
  return "suppressions=" QUILLOTONE_SANITIZER_DIR "/lsan.supp:print_suppressions=0";
}

// die_after_fork=0: a child the tests start (support/Child.h), or Qt a
// QProcess child (the program itself, in tests that run it), only execs,
// but ThreadSanitizer takes this process for having forked: a JACK client
// that the MIDI output opens afterwards would end the test.
const char* __tsan_default_options() {
  return "suppressions=" QUILLOTONE_SANITIZER_DIR
         "/tsan.supp:print_suppressions=0:second_deadlock_stack=1:halt_on_error=1:"
         "die_after_fork=0";
}

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

}  // extern "C"
