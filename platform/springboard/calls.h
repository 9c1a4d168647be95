// The calls the phone rings: the one ringing or in progress, and those
// waiting behind it. Each ends in the call history as answered, declined or
// missed. What the person sees of it is the screen's business (call_screen.h).
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/sound.h"
#include "platform/records/records.h"

namespace platform::springboard {

// Not among the block sounds the pane offers, so that the record tells them apart.
inline constexpr uint32_t kRingtoneSound = platform::sound::kRingtone;

struct IncomingCall {
  std::string name;  // as shown: the contact's name, else the number or name it came with
  std::string number;
  std::string contact;
  std::string bundle;  // the app it comes through
  std::string appName;
  int64_t dateMs = 0;
};

enum class CallState { Ringing, InProgress };

class CallQueue {
 public:
  static constexpr std::chrono::seconds kRingFor{30};
  // Calls past these wait no more: they end at once as missed, as a busy
  // line does.
  static constexpr size_t kMaxWaiting = 8;

  struct Observer {
    // The current call changed (a new one rings, or it was answered).
    std::function<void(const IncomingCall&, CallState)> shown;
    // No call is left.
    std::function<void()> gone;
    // A call ended: what the history keeps of it.
    std::function<void(const platform::records::CallRecord&)> ended;
  };
  explicit CallQueue(Observer observer);

  void ring(IncomingCall call);
  // Each answers false when there is no call it applies to.
  bool answer();   // the ringing call is in progress
  bool decline();  // the ringing call ends, declined
  // The call in progress ends (answered); a ringing one ends as the caller
  // hung up (missed).
  bool end();

  const IncomingCall* current() const { return current_ ? &*current_ : nullptr; }
  CallState state() const { return state_; }
  size_t waiting() const { return waiting_.size(); }
  // Since it was answered; 0 while ringing.
  int64_t elapsedMs() const { return state_ == CallState::InProgress ? talking_.elapsed() : 0; }

 private:
  void finish(platform::records::Outcome outcome);
  void next();
  void record(const IncomingCall& call, platform::records::Outcome outcome, int64_t durationMs);

  Observer observer_;
  std::optional<IncomingCall> current_;
  CallState state_ = CallState::Ringing;
  std::deque<IncomingCall> waiting_;
  QTimer unanswered_;
  QElapsedTimer talking_;
};

}  // namespace platform::springboard
