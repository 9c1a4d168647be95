#include "hook/process_state.h"

#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"

namespace calmora {

namespace {
struct ProcessState {
  HostBindings host;
  DecisionState decisions;
  LogState logs;
  MarkerState marker;
};
std::unique_ptr<ProcessState>& holder() {
  static std::unique_ptr<ProcessState> state = std::make_unique<ProcessState>();
  return state;
}
}  // namespace

DecisionInputs DecisionState::inputs() const { return DecisionInputs{snapshot, messagingApps, platform::clock::nowMs()}; }

std::shared_ptr<const ContactIndex> DecisionState::contactsNow() {
  return senderIndex.current(settingsFile.get(), platform::contacts::sharedStore());
}

HostBindings& hostBindings() { return holder()->host; }
DecisionState& decisionState() { return holder()->decisions; }
LogState& logState() { return holder()->logs; }
MarkerState& markerState() { return holder()->marker; }

void resetProcessStateForTesting() { holder() = std::make_unique<ProcessState>(); }

}  // namespace calmora
