// What the home screen does with a bulletin the hook library hands on: keeps
// it with the delivered notifications, shows it as a banner for about 5 s
// (a newer one takes its place), counts it on its app's icon until it is
// opened, and lists it in the notification list.
#pragma once

#include <QJsonArray>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/apps/app_registry.h"
#include "platform/records/delivered_notifications.h"
#include "platform/springboard/bulletins.h"
#include "platform/foundation/sound.h"
#include "platform/uikit/view.h"

namespace platform::springboard {

// Played with a banner; not among the block sounds the pane offers either.
inline constexpr uint32_t kBannerSound = platform::sound::kBannerTone;

class SBBannerView;
class SBNotificationListView;

class NotificationsController {
 public:
  static constexpr std::chrono::milliseconds kBannerFor{5000};
  using Badges = std::map<std::string, int64_t>;
  struct Hooks {
    std::function<void(const std::string& bundle)> openApp;
    std::function<void(const Badges&)> badgesChanged;
    std::function<void()> listShown;  // the list came over the screen
    std::function<void()> bannerMoved;  // shown or put away
  };
  // The list goes into `window`, the banner into `overlay`, over whatever
  // is in front; the records are opened here (without them banners still
  // show, and the list is empty).
  NotificationsController(uikit::UIView& window, uikit::UIView& overlay,
                          std::shared_ptr<platform::apps::AppRegistry> apps, Hooks hooks);
  ~NotificationsController();

  void deliver(const BulletinDescription& bulletin);
  // The bundle's notifications (or one sender's: `title`) were opened.
  void opened(const std::string& bundle, const std::optional<std::string>& title);

  void showList();
  void closeList();
  bool listShown() const;
  void dismissBanner();
  // Where the banner shows, in points of the screen; nothing while hidden.
  std::optional<uikit::CGRect> bannerFrame() const;
  // The list as shown, newest first: {"id", "date", "bundle", "app",
  // "title", "subtitle", "message", "opened"}.
  QJsonArray listJson() const;

 private:
  void badgesLater();

  uikit::UIView& window_;
  uikit::UIView& overlay_;
  std::shared_ptr<platform::apps::AppRegistry> apps_;
  Hooks hooks_;
  std::unique_ptr<platform::records::DeliveredNotifications> records_;
  std::shared_ptr<SBBannerView> banner_;
  std::shared_ptr<SBNotificationListView> list_;
  QTimer bannerTimer_, badgeTimer_;
};

}  // namespace platform::springboard
