// What a process can be asked over its control channel, declared once as a
// table that the process's server checks requests against and that simctl
// builds its requests and usage text from.
#pragma once

#include <span>
#include <string_view>

namespace platform::automation {

// Array: a JSON array, read by the handler (no simctl option takes one).
enum class Type { String, Number, Bool, Array };
enum class Need { Optional, Required };

// One argument: its key in the request and, for simctl, its option. A Bool
// argument is a flag whose presence sends `flagValue`.
struct Argument {
  std::string_view key;
  Type type;
  Need need = Need::Optional;
  std::string_view option = {};
  bool flagValue = true;
};

struct Verb {
  std::string_view name;
  std::span<const Argument> arguments;
  std::string_view help;
};

// One field of a typed request or answer: its key on the wire, its member.
template <class S, class T>
struct Field {
  std::string_view key;
  T S::*member;
};

// A verb with its request and answer as types, declared once beside its
// table: the handler that serves it and every caller go through them
// (typed_json.h), so that one that does not match does not compile. Each
// type lists its fields in a function `fields(const T*)` beside it.
template <class Request, class Answer>
struct Typed {
  const Verb& verb;
};

constexpr const Verb* findVerb(std::span<const Verb> table, std::string_view name) {
  for (const Verb& v : table)
    if (v.name == name) return &v;
  return nullptr;
}

}  // namespace platform::automation
