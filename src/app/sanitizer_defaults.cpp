// Defaults of the sanitizers, linked into every program of a build with
// NORVANTIX_SANITIZE or NORVANTIX_FUZZ (the tests, the programs they start,
// the fuzzers), so that no environment is needed to run them.

extern "C" {

// Leaks inside system libraries that the program cannot free: libdbus keeps
// its per-connection and per-thread data until the process ends, and
// libindidriver allocates blocks of its own (no frame of ours on their
// stacks) that it never frees.
const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n"
         "leak:libindidriver.so\n";
}
const char* __lsan_default_options() { return "print_suppressions=0"; }

const char* __ubsan_default_options() { return "print_stacktrace=1"; }
}
