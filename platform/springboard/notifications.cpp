#include "platform/springboard/notifications.h"

#include <QJsonObject>

#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/sound.h"
#include "platform/springboard/banner_view.h"
#include "platform/springboard/notification_list.h"

namespace platform::springboard {

namespace {
using platform::records::Cleared;
constexpr double kMargin = 8;
}  // namespace

NotificationsController::NotificationsController(uikit::UIView& window, uikit::UIView& overlay,
                                                 std::shared_ptr<platform::apps::AppRegistry> apps, Hooks hooks)
    : window_(window), overlay_(overlay), apps_(std::move(apps)), hooks_(std::move(hooks)) {
  if (auto opened = platform::records::DeliveredNotifications::open(platform::records::Mode::ReadWrite))
    records_ = std::make_unique<platform::records::DeliveredNotifications>(std::move(*opened));
  else
    platform::log("springboard: delivered notifications are not kept: ", opened.error().describe());
  const double w = window.frame().width();
  banner_ = std::make_shared<SBBannerView>(
      uikit::CGRect(kMargin, kMargin, w - 2 * kMargin, SBBannerView::kHeight),
      [this] {
        const auto n = banner_->shown();
        dismissBanner();
        opened(n.bundle, n.title);
        if (hooks_.openApp) hooks_.openApp(n.bundle);
      },
      [this] { dismissBanner(); },
      [this] {
        dismissBanner();
        showList();
      });
  banner_->setHidden(true);
  bannerTimer_.setSingleShot(true);
  bannerTimer_.setInterval(kBannerFor);
  QObject::connect(&bannerTimer_, &QTimer::timeout, [this] { dismissBanner(); });
  // However many notifications came in one turn of the event loop, the
  // badges are counted once.
  badgeTimer_.setSingleShot(true);
  badgeTimer_.setInterval(0);
  QObject::connect(&badgeTimer_, &QTimer::timeout, [this] {
    Badges badges;
    if (records_)
      for (const auto& [bundle, count] : records_->unopenedCounts()) badges[bundle] = count;
    if (hooks_.badgesChanged) hooks_.badgesChanged(badges);
  });
  badgeTimer_.start();
}

NotificationsController::~NotificationsController() {
  if (banner_) banner_->removeFromSuperview();
  if (list_) list_->removeFromSuperview();
}

void NotificationsController::deliver(const BulletinDescription& b) {
  platform::records::NotificationRecord n;
  n.dateMs = b.date ? static_cast<int64_t>(*b.date * 1000) : platform::clock::nowMs();
  n.bundle = b.section.value_or("");
  n.title = b.title.value_or("");
  n.subtitle = b.subtitle.value_or("");
  n.message = b.message.value_or("");
  if (records_) n.id = records_->add(n);
  // A banner already showing takes the newest in its place: a flood of
  // bulletins is one banner, not one each.
  const bool wasHidden = banner_->isHidden();
  banner_->show(n, apps_->app(n.bundle));
  if (wasHidden) {
    overlay_.addSubview(banner_);  // over everything, the call screen and the list too
    banner_->setHidden(false);
    platform::sound::playSystemSound(kBannerSound);
    if (hooks_.bannerMoved) hooks_.bannerMoved();
  }
  bannerTimer_.start();
  if (list_ && !list_->isHidden()) list_->reload();
  badgesLater();
}

void NotificationsController::opened(const std::string& bundle, const std::optional<std::string>& title) {
  if (records_ && records_->markOpened(bundle, title) > 0) badgesLater();
}

void NotificationsController::dismissBanner() {
  bannerTimer_.stop();
  if (banner_->isHidden()) return;
  banner_->setHidden(true);
  if (hooks_.bannerMoved) hooks_.bannerMoved();
}

void NotificationsController::showList() {
  if (!list_) {
    list_ = std::make_shared<SBNotificationListView>(
        window_.frame(), records_.get(), apps_,
        SBNotificationListView::Actions{.open =
                                            [this](const platform::records::NotificationRecord& n) {
                                              closeList();
                                              opened(n.bundle, n.title);
                                              if (hooks_.openApp) hooks_.openApp(n.bundle);
                                            },
                                        .close = [this] { closeList(); },
                                        .changed = [this] { badgesLater(); }});
  }
  list_->reload();
  if (list_->isHidden() || !list_->superview()) {
    window_.addSubview(list_);
    list_->setHidden(false);
  }
  if (hooks_.listShown) hooks_.listShown();
}

void NotificationsController::closeList() {
  if (list_) list_->setHidden(true);
}

bool NotificationsController::listShown() const { return list_ && !list_->isHidden(); }

std::optional<uikit::CGRect> NotificationsController::bannerFrame() const {
  if (banner_->isHidden()) return std::nullopt;
  return banner_->frame();
}

QJsonArray NotificationsController::listJson() const {
  QJsonArray out;
  if (!records_) return out;
  for (const auto& n : records_->list("", Cleared::Exclude, platform::records::kMaxNotificationsPerBundle * 100)) {
    auto app = apps_->app(n.bundle);
    out.append(QJsonObject{{"id", static_cast<qint64>(n.id)},
                           {"date", static_cast<qint64>(n.dateMs)},
                           {"bundle", QString::fromStdString(n.bundle)},
                           {"app", QString::fromStdString(app ? app->displayName : n.bundle)},
                           {"title", QString::fromStdString(n.title)},
                           {"subtitle", QString::fromStdString(n.subtitle)},
                           {"message", QString::fromStdString(n.message)},
                           {"opened", n.opened}});
  }
  return out;
}

void NotificationsController::badgesLater() { badgeTimer_.start(); }

}  // namespace platform::springboard
