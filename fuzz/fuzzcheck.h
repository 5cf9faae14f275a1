#pragma once

#include <cstdio>
#include <cstdlib>

// A fuzz target's own finding: the parser did not crash but gave a wrong
// answer. Aborting makes libFuzzer keep the input as a crash, like any other.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
