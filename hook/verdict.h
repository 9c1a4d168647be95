// What a decision answers: whether the event goes on to the host, and why,
// as the lines the interception logs.
#pragma once

#include <string>
#include <vector>

namespace calmora {

enum class Outcome { HandOn, Stop };

struct Verdict {
  Outcome outcome = Outcome::HandOn;
  std::vector<std::string> reason;  // log lines, in order
};

}  // namespace calmora
