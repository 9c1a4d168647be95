// The home screen as platform/uikit views: the wallpaper with the installed
// apps' icons in a grid (SBHomeScreenView of SBIconViews), and the status
// bar with the time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/apps/app_registry.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/label.h"

namespace platform::springboard {

// An app's icon with its name below; a tap opens the app.
class SBIconView : public uikit::UIControl {
 public:
  static constexpr double kIconSide = 60;
  explicit SBIconView(platform::apps::AppInfo app);
  const platform::apps::AppInfo& app() const { return app_; }
  // The count of the app's notifications not yet opened; 0 shows none.
  int64_t badge() const { return badge_; }
  void setBadge(int64_t count);

  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 private:
  platform::apps::AppInfo app_;
  // Rendered when first drawn: a home screen made only to be asked about
  // its icons (the hook tests make many) renders none.
  uikit::UIImagePtr image_;
  bool rendered_ = false;
  int64_t badge_ = 0;
};

class SBHomeScreenView : public uikit::UIView {
 public:
  using OpenApp = std::function<void(const std::string& bundleIdentifier)>;
  SBHomeScreenView(const uikit::CGRect& frame, std::shared_ptr<platform::apps::AppRegistry> apps, OpenApp open);

  // Lays the icons out again when the installed apps changed since.
  void reloadIcons();
  void setBadges(std::map<std::string, int64_t> badges);
  std::vector<SBIconView*> icons() const;

  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 private:
  std::shared_ptr<platform::apps::AppRegistry> apps_;
  OpenApp open_;
  std::vector<platform::apps::AppInfo> shown_;
  std::map<std::string, int64_t> badges_;
};

// The status bar across the top of a screen `width` wide, on a clear
// background: the time at its left, kept to the minute. Its text is light
// over the home screen, and over an app in the app's appearance (the
// device's): dark over a light app, light over a dark one.
class SBStatusBarView : public uikit::UIView {
 public:
  explicit SBStatusBarView(double width);
  void setOverApp(bool overApp);
  bool overApp() const { return overApp_; }
  void traitCollectionDidChange() override;

 private:
  void restyle();
  std::shared_ptr<uikit::UILabel> clock_;
  bool overApp_ = false;
};

}  // namespace platform::springboard
