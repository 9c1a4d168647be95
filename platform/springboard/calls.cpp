#include "platform/springboard/calls.h"

namespace platform::springboard {

using platform::records::Outcome;

CallQueue::CallQueue(Observer observer) : observer_(std::move(observer)) {
  unanswered_.setSingleShot(true);
  unanswered_.setInterval(kRingFor);
  QObject::connect(&unanswered_, &QTimer::timeout, [this] {
    if (current_ && state_ == CallState::Ringing) finish(Outcome::Missed);
  });
}

void CallQueue::ring(IncomingCall call) {
  if (!current_) {
    current_ = std::move(call);
    next();
  } else if (waiting_.size() < kMaxWaiting) {
    waiting_.push_back(std::move(call));
  } else {
    record(call, Outcome::Missed, 0);
  }
}

bool CallQueue::answer() {
  if (!current_ || state_ != CallState::Ringing) return false;
  unanswered_.stop();
  state_ = CallState::InProgress;
  talking_.start();
  if (observer_.shown) observer_.shown(*current_, state_);
  return true;
}

bool CallQueue::decline() {
  if (!current_ || state_ != CallState::Ringing) return false;
  finish(Outcome::Declined);
  return true;
}

bool CallQueue::end() {
  if (!current_) return false;
  finish(state_ == CallState::InProgress ? Outcome::Answered : Outcome::Missed);
  return true;
}

void CallQueue::finish(Outcome outcome) {
  unanswered_.stop();
  const IncomingCall done = std::move(*current_);
  const int64_t duration = elapsedMs();
  current_.reset();
  record(done, outcome, duration);
  if (!waiting_.empty()) {
    current_ = std::move(waiting_.front());
    waiting_.pop_front();
    next();
  } else if (observer_.gone) {
    observer_.gone();
  }
}

// The current call starts ringing.
void CallQueue::next() {
  state_ = CallState::Ringing;
  unanswered_.start();
  if (observer_.shown) observer_.shown(*current_, state_);
}

void CallQueue::record(const IncomingCall& call, Outcome outcome, int64_t durationMs) {
  if (observer_.ended)
    observer_.ended({0, call.dateMs, call.name, call.number, call.contact, call.bundle, call.appName, outcome,
                     durationMs, true});
}

}  // namespace platform::springboard
