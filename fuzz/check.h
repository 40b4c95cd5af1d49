#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one aborts, which libFuzzer records as a crash
// (with the input) and which fails the corpus replay test.
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, what, #condition);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
