#include "platform/springboard/banner_view.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "platform/apps/icon_render.h"
#include "platform/springboard/short_text.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/label.h"
#include "platform/uikit/screen.h"

namespace platform::springboard {

namespace {
constexpr int kMaxChars = 200;
constexpr double kIcon = 20, kPad = 12, kSwipe = 20;

[[maybe_unused]] const bool bannerRead = uikit::automation::readAs<SBBannerView, uikit::UIControl>({
    .className = "SBBannerView",
    .fields =
        [](const SBBannerView& b, QJsonObject& node) {
          node["app"] = b.appName();
          node["title"] = b.title();
          node["message"] = b.message();
          node["bundle"] = QString::fromStdString(b.shown().bundle);
        },
    .text = [](const SBBannerView& b) { return b.title(); },
});
}  // namespace

SBBannerView::SBBannerView(const uikit::CGRect& frame, Action open, Action dismiss, Action pulled)
    : uikit::UIControl(frame), dismiss_(std::move(dismiss)), pulled_(std::move(pulled)) {
  setAccessibilityIdentifier("banner");
  addTarget([open = std::move(open)] { if (open) open(); }, uikit::UIControlEvents::TouchUpInside);
}

void SBBannerView::show(const platform::records::NotificationRecord& n,
                        const std::optional<platform::apps::AppInfo>& app) {
  shown_ = n;
  appName_ = shortText(app && !app->displayName.empty() ? app->displayName : n.bundle, 40);
  title_ = shortText(n.title, kMaxChars);
  message_ = shortText(n.message.empty() ? n.subtitle : n.message, kMaxChars);
  icon_ = app ? platform::apps::renderIcon(*app, kIcon, kIcon, uikit::UIScreen::mainScreen().scale(), 5) : nullptr;
  setNeedsDisplay();
}

bool SBBannerView::touchesBegan(uikit::CGPoint point) {
  startY_ = point.y;
  swipedUp_ = false;
  return uikit::UIControl::touchesBegan(point);
}

void SBBannerView::touchesMoved(uikit::CGPoint point) {
  if (startY_ - point.y > kSwipe) swipedUp_ = true;
  uikit::UIControl::touchesMoved(point);
}

void SBBannerView::touchesEnded(uikit::CGPoint point) {
  const bool up = swipedUp_ || startY_ - point.y > kSwipe, down = point.y - startY_ > 3 * kSwipe;
  swipedUp_ = false;
  // A drag is no tap: ended outside, the control lets go of its highlight
  // without acting.
  uikit::UIControl::touchesEnded(up || down ? uikit::CGPoint(-1e6, -1e6) : point);
  if (up && dismiss_) dismiss_();
  if (!up && down && pulled_) pulled_();
}

void SBBannerView::draw(QPainter& painter, const uikit::CGRect&) {
  const double w = frame().width(), h = frame().height();
  const bool dark = uikit::UIScreen::mainScreen().traitCollection().userInterfaceStyle == uikit::UIUserInterfaceStyle::Dark;
  const QColor card = dark ? QColor(44, 44, 48, 250) : QColor(246, 246, 248, 250);
  const QColor text = dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
  const QColor secondary = dark ? QColor(190, 190, 196) : QColor(80, 80, 86);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, w, h), 14, 14);
  painter.fillPath(path, isHighlighted() ? card.darker(115) : card);
  if (icon_) painter.drawImage(QRectF(kPad, 10, kIcon, kIcon), icon_->pixels());

  QFont small = uikit::UIFont::systemFontOfSize(13).qfont();
  QFont bold = uikit::UIFont::boldSystemFontOfSize(15).qfont();
  QFont body = uikit::UIFont::systemFontOfSize(15).qfont();
  painter.setFont(small);
  painter.setPen(secondary);
  const QRectF header(kPad + kIcon + 8, 10, w - 2 * kPad - kIcon - 8, kIcon);
  const QString now = "now";
  const double nowWidth = QFontMetricsF(small).horizontalAdvance(now);
  painter.drawText(header.adjusted(0, 0, -nowWidth - 8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(small).elidedText(appName_.toUpper(), Qt::ElideRight, header.width() - nowWidth - 8));
  painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, now);
  const double textWidth = w - 2 * kPad;
  painter.setFont(bold);
  painter.setPen(text);
  painter.drawText(QRectF(kPad, 36, textWidth, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(bold).elidedText(title_, Qt::ElideRight, textWidth));
  painter.setFont(body);
  painter.drawText(QRectF(kPad, 56, textWidth, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(body).elidedText(message_, Qt::ElideRight, textWidth));
}

}  // namespace platform::springboard
