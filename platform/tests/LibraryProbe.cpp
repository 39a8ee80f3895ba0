// A tiny library for the loading tests: found by its Windows name next to the test program.
extern "C" __attribute__((visibility("default"))) int orkaLibraryProbeAnswer() { return 42; }
