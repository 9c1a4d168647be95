// What a decision answers: whether the event goes on to the host, and why,
// as the lines the interception logs.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace calmora {

enum class Outcome { HandOn, Stop };

// The lines a decision gives for its answer, in order. The rules and the
// tests they ask append to it; only the interception writes it to the log.
using Reason = std::vector<std::string>;

// Appends one line, its pieces joined as platform::log joins them.
template <class... Parts>
void addLine(Reason& reason, const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  reason.push_back(out.str());
}

struct Verdict {
  Outcome outcome = Outcome::HandOn;
  Reason reason;
};

}  // namespace calmora
