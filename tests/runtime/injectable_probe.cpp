// A library for the loader test: two initialisers that must run in order.
#include <string>

#include "platform/runtime/runtime.h"

namespace {
// Function-local: the initialisers run before the library's own dynamic
// initialisation of namespace-scope objects.
std::string& order() {
  static std::string s;
  return s;
}

__attribute__((constructor(101))) void first() { order() += "1"; }

__attribute__((constructor(102))) void second() {
  order() += "2";
  platform::runtime::Class* cls = platform::runtime::registerClass("InjectionProbe");
  platform::runtime::defineClassMethod<std::string>(cls, "order", [](const platform::runtime::Id&) { return order(); });
}
}  // namespace
