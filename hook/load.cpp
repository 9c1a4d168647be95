// The library's entry: two initialisers that the loader runs, in this order,
// when the home-screen process loads the library.
//
// The library's diagnostic lines, each beginning "CalmoraDebug", are the
// system's own texts and stay word for word, odd spellings and numbers
// included ("call inst isBlocked YESSS", "[whitelist] 205"): whoever reads
// the device's log searches for them as they are.
#include "hook/installation.h"

__attribute__((constructor(101))) static void calmoraLoadStep1() { calmora::loadTimeStep1(); }

__attribute__((constructor(102))) static void calmoraLoadStep2() { calmora::loadTimeStep2(); }

// Both run before this library's own namespace-scope objects are
// initialised, so everything they reach keeps its state in function-local
// statics (see process_state.h) or in constant-initialised variables.
