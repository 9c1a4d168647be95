// The incoming-call screen, over the whole screen: the caller, the app the
// call comes through, "Decline" and "Accept"; once answered, the time the
// call has run and "End". Dark in either appearance, as phones show it.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>

#include "platform/springboard/calls.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/label.h"

namespace platform::springboard {

class SBCallScreenView : public uikit::UIView {
 public:
  struct Actions {
    std::function<void()> accept, decline, end;
  };
  SBCallScreenView(const uikit::CGRect& frame, Actions actions, std::function<int64_t()> elapsedMs);

  void show(const IncomingCall& call, CallState state);
  const uikit::UILabel& caller() const { return *caller_; }
  const uikit::UILabel& detail() const { return *detail_; }

  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 private:
  void tick();
  std::function<int64_t()> elapsedMs_;
  std::shared_ptr<uikit::UILabel> caller_, app_, detail_;
  std::shared_ptr<uikit::UIButton> decline_, accept_, end_;
  QTimer ticking_;
  QString appName_;
};

}  // namespace platform::springboard
