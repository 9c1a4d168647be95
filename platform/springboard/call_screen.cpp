#include "platform/springboard/call_screen.h"

#include <QPainter>

#include "platform/springboard/short_text.h"
#include "platform/uikit/automation/reading.h"

namespace platform::springboard {

namespace {
constexpr int kMaxNameChars = 60;

[[maybe_unused]] const bool callScreenRead =
    uikit::automation::readAs<SBCallScreenView, uikit::UIView>({.className = "SBCallScreenView"});

std::shared_ptr<uikit::UILabel> label(const uikit::CGRect& frame, double size, const uikit::UIColor& color) {
  auto l = uikit::make<uikit::UILabel>(frame);
  l->setFont(uikit::UIFont::systemFontOfSize(size));
  l->setTextColor(color);
  l->setTextAlignment(uikit::NSTextAlignment::Center);
  return l;
}

// White titles on colours dark enough to keep 4.5:1 with them.
std::shared_ptr<uikit::UIButton> button(const QString& title, const uikit::UIColor& color, std::function<void()> action) {
  auto b = uikit::UIButton::buttonWithType(uikit::UIButtonType::Custom);
  b->setTitle(title, uikit::UIControlState::Normal);
  b->setTitleColor(uikit::UIColor::whiteColor(), uikit::UIControlState::Normal);
  b->setTitleFont(uikit::UIFont::boldSystemFontOfSize(18));
  b->setBackgroundColor(color);
  b->setCornerRadius(28);
  b->setClipsToBounds(true);
  b->addTarget([action = std::move(action)] { if (action) action(); }, uikit::UIControlEvents::TouchUpInside);
  return b;
}

QString clockText(int64_t ms) {
  const int64_t s = ms / 1000;
  return QString::asprintf("%02lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
}
}  // namespace

SBCallScreenView::SBCallScreenView(const uikit::CGRect& frame, Actions actions, std::function<int64_t()> elapsedMs)
    : uikit::UIView(frame), elapsedMs_(std::move(elapsedMs)) {
  const double w = frame.width(), h = frame.height();
  const auto light = uikit::UIColor::colorWithWhite(0.8, 1);
  caller_ = label(uikit::CGRect(20, 90, w - 40, 40), 32, uikit::UIColor::whiteColor());
  app_ = label(uikit::CGRect(20, 136, w - 40, 22), 17, light);
  detail_ = label(uikit::CGRect(20, 162, w - 40, 22), 17, light);
  caller_->setAccessibilityIdentifier("caller");
  detail_->setAccessibilityIdentifier("callState");
  decline_ = button("Decline", uikit::UIColor::colorWithRed(0.78, 0.1, 0.1, 1), std::move(actions.decline));
  accept_ = button("Accept", uikit::UIColor::colorWithRed(0.1, 0.5, 0.2, 1), std::move(actions.accept));
  end_ = button("End", uikit::UIColor::colorWithRed(0.78, 0.1, 0.1, 1), std::move(actions.end));
  const double bw = 130, bh = 56, by = h - 140;
  decline_->setFrame(uikit::CGRect(w / 2 - bw - 15, by, bw, bh));
  accept_->setFrame(uikit::CGRect(w / 2 + 15, by, bw, bh));
  end_->setFrame(uikit::CGRect((w - bw) / 2, by, bw, bh));
  for (const auto& v : std::initializer_list<uikit::UIViewPtr>{caller_, app_, detail_, decline_, accept_, end_})
    addSubview(v);
  ticking_.setInterval(250);
  QObject::connect(&ticking_, &QTimer::timeout, [this] { tick(); });
}

void SBCallScreenView::show(const IncomingCall& call, CallState state) {
  caller_->setText(shortText(call.name.empty() ? call.number : call.name, kMaxNameChars));
  appName_ = shortText(call.appName, kMaxNameChars);
  const bool ringing = state == CallState::Ringing;
  decline_->setHidden(!ringing);
  accept_->setHidden(!ringing);
  end_->setHidden(ringing);
  app_->setText(appName_);
  if (ringing) {
    ticking_.stop();
    detail_->setText("incoming call");
  } else {
    tick();
    ticking_.start();
  }
}

void SBCallScreenView::tick() { detail_->setText(clockText(elapsedMs_ ? elapsedMs_() : 0)); }

void SBCallScreenView::draw(QPainter& painter, const uikit::CGRect&) {
  const double w = frame().width(), h = frame().height();
  QLinearGradient shade(0, 0, 0, h);
  shade.setColorAt(0, QColor(40, 44, 52));
  shade.setColorAt(1, QColor(12, 14, 18));
  painter.fillRect(QRectF(0, 0, w, h), shade);
}

}  // namespace platform::springboard
