#include <cstdio>

#include "tools/simctl/verbs.h"

namespace simctl {

int boot(const std::filesystem::path&, const Args&) { std::fputs("simctl: boot not built yet\n", stderr); return 1; }
int shutdown(const std::filesystem::path&, const Args&) { return 1; }
int status(const std::filesystem::path&, const Args&) { return 1; }

}  // namespace simctl
