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

constexpr const Verb* findVerb(std::span<const Verb> table, std::string_view name) {
  for (const Verb& v : table)
    if (v.name == name) return &v;
  return nullptr;
}

}  // namespace platform::automation
