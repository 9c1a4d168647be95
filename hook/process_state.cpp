#include "hook/process_state.h"

#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"

namespace calmora {

namespace {
std::unique_ptr<ProcessState>& holder() {
  static std::unique_ptr<ProcessState> state = std::make_unique<ProcessState>();
  return state;
}
}  // namespace

Decision ProcessState::decision() const { return Decision{snapshot, messagingApps, platform::clock::nowMs()}; }

std::shared_ptr<const ContactIndex> ProcessState::contactsNow() {
  return senderIndex.current(settingsFile.get(), platform::contacts::sharedStore());
}

ProcessState& process() { return *holder(); }

void resetProcessStateForTesting() { holder() = std::make_unique<ProcessState>(); }

}  // namespace calmora
