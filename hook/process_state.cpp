#include "hook/process_state.h"

namespace calmora {

ProcessState& process() {
  static ProcessState state;
  return state;
}

void resetProcessStateForTesting() {
  ProcessState& s = process();
  s.snapshot = SettingsSnapshot{};
  s.messagingApps.clear();
  s.previous = PreviousImplementations{};
  s.iconspecs = host::IconImageInfo{};
  s.calldate = 0;
  s.lastCalldate = 0;
  s.notificationLabel = nullptr;
  s.markerWindows.clear();
  s.showIconObserved = false;
  s.homeScreenObserved = false;
}

}  // namespace calmora
