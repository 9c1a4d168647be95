// The library's entry: two initialisers that the loader runs, in this order,
// when the home-screen process loads the library.
#include "hook/installation.h"

__attribute__((constructor(101))) static void calmoraLoadStep1() { calmora::loadTimeStep1(); }

__attribute__((constructor(102))) static void calmoraLoadStep2() { calmora::loadTimeStep2(); }

// Both run before this library's own namespace-scope objects are
// initialised, so everything they reach keeps its state in function-local
// statics (see process_state.h) or in constant-initialised variables.
