// Small helpers the host uses to define its runtime classes.
#pragma once

#include <memory>
#include <string_view>

#include "platform/runtime/runtime.h"

namespace platform::springboard {

// A class whose instances are T.
template <class T>
runtime::Class* makeClass(std::string_view name, runtime::Class* super = nullptr) {
  runtime::Class* cls = runtime::registerClass(name, super);
  cls->factory = [](runtime::Class* c) -> runtime::Id { return std::make_shared<T>(c); };
  return cls;
}

// A method answering one field of T; a default value for anything else.
template <class T, class R>
void getter(runtime::Class* cls, std::string_view selector, R T::*field) {
  runtime::defineMethod<R>(cls, selector, [field](const runtime::Id& self) {
    auto obj = runtime::as<T>(self);
    return obj ? (*obj).*field : R();
  });
}

}  // namespace platform::springboard
