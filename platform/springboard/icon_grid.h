// The home screen as platform/uikit views: the wallpaper with the installed
// apps' icons in a grid (SBHomeScreenView of SBIconViews), and the status
// bar with the time.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/apps/app_registry.h"
#include "platform/uikit/controls.h"

namespace platform::springboard {

// An app's icon with its name below; a tap opens the app.
class SBIconView : public uikit::UIControl {
 public:
  static constexpr double kIconSide = 60;
  explicit SBIconView(platform::apps::AppInfo app);
  const platform::apps::AppInfo& app() const { return app_; }

  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 private:
  platform::apps::AppInfo app_;
  // Rendered when first drawn: a home screen made only to be asked about
  // its icons (the hook tests make many) renders none.
  uikit::UIImagePtr image_;
  bool rendered_ = false;
};

class SBHomeScreenView : public uikit::UIView {
 public:
  using OpenApp = std::function<void(const std::string& bundleIdentifier)>;
  SBHomeScreenView(const uikit::CGRect& frame, std::shared_ptr<platform::apps::AppRegistry> apps, OpenApp open);

  // Lays the icons out again when the installed apps changed since.
  void reloadIcons();
  std::vector<SBIconView*> icons() const;

  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 private:
  std::shared_ptr<platform::apps::AppRegistry> apps_;
  OpenApp open_;
  std::vector<platform::apps::AppInfo> shown_;
};

// The status bar across the top of a screen `width` wide: the time at its
// left, kept to the minute.
std::shared_ptr<uikit::UIView> makeStatusBar(double width);

}  // namespace platform::springboard
