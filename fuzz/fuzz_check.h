// A failed property aborts the run, so that libFuzzer keeps the input that
// broke it; release builds must not compile the check away.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                  \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);    \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)
