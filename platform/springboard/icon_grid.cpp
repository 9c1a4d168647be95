#include "platform/springboard/icon_grid.h"

#include <QJsonArray>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>
#include <QFontMetricsF>
#include <QPainterPath>

#include "platform/apps/icon_render.h"
#include "platform/foundation/clock.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/screen.h"

namespace platform::springboard {

namespace {
// Four columns of 60-point icons, each with its name below, from 40 points
// down; the rows that fit above the dock's 100 points.
constexpr int kColumns = 4;
constexpr double kTop = 40, kRowHeight = 90, kDock = 100, kLabelHeight = 14, kLabelGap = 2, kLabelOverhang = 10;

bool sameIcons(const std::vector<platform::apps::AppInfo>& a, const std::vector<platform::apps::AppInfo>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.bundleIdentifier == y.bundleIdentifier && x.displayName == y.displayName && x.iconFile == y.iconFile;
  });
}

// The time, to the minute; it sets itself again as each minute begins.
class StatusBarClock : public uikit::UILabel {
 public:
  StatusBarClock() : uikit::UILabel(uikit::CGRect(12, 2, 80, 16)) {
    setFont(uikit::UIFont::boldSystemFontOfSize(12));
    setTextColor(uikit::UIColor::whiteColor());
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    tick();
  }

 private:
  void tick() {
    const QDateTime now = platform::clock::now();
    setText(now.toString(QStringLiteral("HH:mm")));
    timer_.start(std::max(1, 60'000 - static_cast<int>(now.time().second() * 1000 + now.time().msec())));
  }
  QTimer timer_;
};

[[maybe_unused]] const bool homeScreenRead =
    uikit::automation::readAs<SBStatusBarView, uikit::UIView>({.className = "UIStatusBar"}) &&
    uikit::automation::readAs<SBHomeScreenView, uikit::UIView>({.className = "SBHomeScreenView"}) &&
    uikit::automation::readAs<SBIconView, uikit::UIControl>({
        .className = "SBIconView",
        .fields =
            [](const SBIconView& icon, QJsonObject& node) {
              node["text"] = QString::fromStdString(icon.app().displayName);
              node["image"] = QJsonArray{SBIconView::kIconSide, SBIconView::kIconSide};
              if (icon.badge() > 0) node["badge"] = static_cast<qint64>(icon.badge());
            },
        .text = [](const SBIconView& icon) { return QString::fromStdString(icon.app().displayName); },
    });
}  // namespace

SBIconView::SBIconView(platform::apps::AppInfo app) : app_(std::move(app)) {
  setAccessibilityIdentifier(QString::fromStdString(app_.bundleIdentifier));
}

void SBIconView::draw(QPainter& painter, const uikit::CGRect&) {
  if (!rendered_) {
    rendered_ = true;
    image_ = platform::apps::renderIcon(app_, kIconSide, kIconSide, uikit::UIScreen::mainScreen().scale(), 12.0);
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF icon(kLabelOverhang, 0, kIconSide, kIconSide);
  if (image_) painter.drawImage(icon, image_->pixels());
  if (isHighlighted()) {
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(icon, 12, 12);
    painter.fillPath(path, QColor(0, 0, 0, 90));
  }
  if (badge_ > 0) {
    // White on a red dark enough to keep 4.5:1.
    const QString count = badge_ > 999 ? QStringLiteral("999+") : QString::number(badge_);
    QFont bold = uikit::UIFont::boldSystemFontOfSize(13).qfont();
    const double side = 22, width = std::max(side, QFontMetricsF(bold).horizontalAdvance(count) + 12);
    const QRectF pill(icon.right() - width / 2 - 2, icon.top() - 6, width, side);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath badge;
    badge.addRoundedRect(pill, side / 2, side / 2);
    painter.fillPath(badge, QColor(200, 24, 24));
    painter.setFont(bold);
    painter.setPen(Qt::white);
    painter.drawText(pill, Qt::AlignCenter, count);
  }
  QFont font = uikit::UIFont::systemFontOfSize(11).qfont();
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRectF(0, kIconSide + kLabelGap, frame().width(), kLabelHeight), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromStdString(app_.displayName));
}

SBHomeScreenView::SBHomeScreenView(const uikit::CGRect& frame, std::shared_ptr<platform::apps::AppRegistry> apps,
                                   OpenApp open)
    : uikit::UIView(frame), apps_(std::move(apps)), open_(std::move(open)) {
  reloadIcons();
}

void SBIconView::setBadge(int64_t count) {
  if (count == badge_) return;
  badge_ = count;
  setNeedsDisplay();
}

void SBHomeScreenView::setBadges(std::map<std::string, int64_t> badges) {
  badges_ = std::move(badges);
  for (SBIconView* icon : icons()) {
    auto it = badges_.find(icon->app().bundleIdentifier);
    icon->setBadge(it == badges_.end() ? 0 : it->second);
  }
}

void SBHomeScreenView::reloadIcons() {
  std::vector<platform::apps::AppInfo> fit;
  const double columnWidth = frame().width() / kColumns;
  for (auto& app : apps_->apps()) {
    const double y = kTop + static_cast<double>(fit.size() / kColumns) * kRowHeight;
    if (y + SBIconView::kIconSide > frame().height() - kDock) break;
    fit.push_back(std::move(app));
  }
  if (!shown_.empty() && sameIcons(fit, shown_)) return;
  for (SBIconView* icon : icons()) icon->removeFromSuperview();
  shown_ = std::move(fit);
  for (size_t i = 0; i < shown_.size(); ++i) {
    auto icon = std::make_shared<SBIconView>(shown_[i]);
    const double x = static_cast<double>(i % kColumns) * columnWidth + (columnWidth - SBIconView::kIconSide) / 2;
    const double y = kTop + static_cast<double>(i / kColumns) * kRowHeight;
    icon->setFrame(uikit::CGRect(x - kLabelOverhang, y, SBIconView::kIconSide + 2 * kLabelOverhang,
                                 SBIconView::kIconSide + kLabelGap + kLabelHeight));
    icon->addTarget([open = open_, id = shown_[i].bundleIdentifier] { if (open) open(id); },
                    uikit::UIControlEvents::TouchUpInside);
    addSubview(icon);
  }
  setBadges(std::move(badges_));
}

std::vector<SBIconView*> SBHomeScreenView::icons() const {
  std::vector<SBIconView*> out;
  for (const auto& v : subviews())
    if (auto* icon = dynamic_cast<SBIconView*>(v.get())) out.push_back(icon);
  return out;
}

void SBHomeScreenView::draw(QPainter& painter, const uikit::CGRect&) {
  const double w = frame().width(), h = frame().height();
  QLinearGradient wallpaper(0, 0, w * 0.3, h);
  wallpaper.setColorAt(0, QColor(38, 64, 120));
  wallpaper.setColorAt(1, QColor(120, 60, 110));
  painter.fillRect(QRectF(0, 0, w, h), wallpaper);
}

SBStatusBarView::SBStatusBarView(double width)
    : uikit::UIView(uikit::CGRect(0, 0, width, 20)), clock_(std::make_shared<StatusBarClock>()) {
  setUserInteractionEnabled(false);
  addSubview(clock_);
  restyle();
}

void SBStatusBarView::setOverApp(bool overApp) {
  if (overApp == overApp_) return;
  overApp_ = overApp;
  restyle();
}

void SBStatusBarView::traitCollectionDidChange() {
  uikit::UIView::traitCollectionDidChange();
  restyle();
}

void SBStatusBarView::restyle() {
  const bool light = uikit::UIScreen::mainScreen().traitCollection().userInterfaceStyle == uikit::UIUserInterfaceStyle::Light;
  clock_->setTextColor(overApp_ && light ? uikit::UIColor::blackColor() : uikit::UIColor::whiteColor());
}

}  // namespace platform::springboard
