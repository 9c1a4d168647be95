// A delivered notification as a banner across the top of the screen: the
// app's icon and name, "now", the title and the message. A tap opens the
// app; a swipe up puts the banner away. One banner shows at a time, the
// newest in it.
#pragma once

#include <functional>
#include <string>

#include "platform/apps/app_registry.h"
#include "platform/records/records.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/image.h"

namespace platform::springboard {

class SBBannerView : public uikit::UIControl {
 public:
  static constexpr double kHeight = 84;
  using Action = std::function<void()>;
  // `open`: tapped; `dismiss`: swiped up; `pulled`: dragged down (the
  // list comes, as from the top edge the banner covers).
  SBBannerView(const uikit::CGRect& frame, Action open, Action dismiss, Action pulled);

  void show(const platform::records::NotificationRecord& n, const std::optional<platform::apps::AppInfo>& app);
  const platform::records::NotificationRecord& shown() const { return shown_; }
  const QString& appName() const { return appName_; }
  const QString& title() const { return title_; }
  const QString& message() const { return message_; }

  bool touchesBegan(uikit::CGPoint point) override;
  void touchesMoved(uikit::CGPoint point) override;
  void touchesEnded(uikit::CGPoint point) override;
  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 private:
  Action dismiss_, pulled_;
  platform::records::NotificationRecord shown_;
  QString appName_, title_, message_;
  uikit::UIImagePtr icon_;
  double startY_ = 0;
  bool swipedUp_ = false;
};

}  // namespace platform::springboard
