// What the library keeps for the life of the home-screen process, in parts
// by what they hold: the bindings to the host, the state of decisions, the
// logs' state and the marker's. Each replaced method fetches the part it
// needs once and passes it down.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/log_store.h"
#include "hook/decision_inputs.h"
#include "hook/host.h"
#include "hook/pending_records.h"
#include "hook/recent_callers.h"
#include "hook/same_call.h"
#include "hook/sender_matching.h"
#include "hook/settings_snapshot.h"
#include "platform/foundation/host_values.h"
#include "platform/runtime/runtime.h"

namespace calmora {

struct PreviousImplementations {
  runtime::Imp<void, runtime::Id> setStatusBar;
  runtime::Imp<void, runtime::Id> callEventHandler;
  runtime::Imp<void, runtime::Id> updateWithCall;
  runtime::Imp<void, runtime::Id, uint64_t> publishBulletin;
  runtime::Imp<void, bool> viewDidAppear;
};

// Host classes looked up by name at their first use and held afterwards;
// the interceptions may run on several threads.
struct HostClasses {
  std::atomic<runtime::Class*> callCenter{nullptr};
  std::atomic<runtime::Class*> applicationController{nullptr};
  std::atomic<runtime::Class*> iconController{nullptr};
};

struct HostBindings {
  PreviousImplementations previous;
  HostClasses hostClasses;
};

struct DecisionState {
  SettingsSnapshot snapshot;
  // What the decisions derive from the files, each rebuilt only once its
  // file has changed.
  SettingsFileCache settingsFile;
  SenderIndexHolder senderIndex;
  std::vector<std::string> messagingApps;

  // The two call replacements share the documented dates of the last
  // blocked call; the host may call them on different threads.
  std::mutex callMutex;
  int64_t calldate = 0;
  int64_t lastCalldate = 0;
  // One blocked call seen through the event and the update; thread-safe.
  calls::SameCallFilter sameCall;
  // Callers blocked lately (the repeat-callers rule); thread-safe.
  RecentCallers recentCallers;

  // What a decision reads, as things stand: the loaded switches and the
  // clock, and the index of the settings file and the address book as they
  // are now (rebuilt only once either has changed), so that a saved change
  // counts from the next event on.
  DecisionInputs inputs() const;
  std::shared_ptr<const ContactIndex> contactsNow();
};

// What is known of the logs' current versions, and the records of blocked
// events that wait to be written; both thread-safe.
struct LogState {
  logs::UnreadMemo unreadMemo;
  logs::PendingRecords pendingRecords;
};

// Main thread only.
struct MarkerState {
  runtime::Id notificationLabel;
  // Observers are registered once per process (and the marker's show and
  // hide once per window): registering again at every appearance or status
  // bar would run every request once per registration, for ever.
  std::vector<std::weak_ptr<runtime::Object>> markerWindows;
  bool showIconObserved = false;
  bool homeScreenObserved = false;
};

// Each created at first use, so that it exists before the load-time
// initialisers run.
HostBindings& hostBindings();
DecisionState& decisionState();
LogState& logState();
MarkerState& markerState();

// Back to the state of a freshly loaded library, every cache included
// (tests only).
void resetProcessStateForTesting();

}  // namespace calmora
