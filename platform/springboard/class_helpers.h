// Small helpers the host uses to define its runtime classes.
#pragma once

#include <memory>
#include <string_view>

#include "platform/runtime/runtime.h"

namespace host {

// A class whose instances are T.
template <class T>
rt::Class* makeClass(std::string_view name, rt::Class* super = nullptr) {
  rt::Class* cls = rt::registerClass(name, super);
  cls->factory = [](rt::Class* c) -> rt::Id { return std::make_shared<T>(c); };
  return cls;
}

// A method answering one field of T; a default value for anything else.
template <class T, class R>
void getter(rt::Class* cls, std::string_view selector, R T::*field) {
  rt::defineMethod<R>(cls, selector, [field](const rt::Id& self) {
    auto obj = rt::as<T>(self);
    return obj ? (*obj).*field : R();
  });
}

}  // namespace host
