#include "hook/process_state.h"

namespace calmora {

namespace {
std::unique_ptr<ProcessState>& holder() {
  static std::unique_ptr<ProcessState> state = std::make_unique<ProcessState>();
  return state;
}
}  // namespace

ProcessState& process() { return *holder(); }

void resetProcessStateForTesting() { holder() = std::make_unique<ProcessState>(); }

}  // namespace calmora
