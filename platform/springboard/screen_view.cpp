#include "platform/springboard/screen_view.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "platform/apps/icon_render.h"
#include "platform/foundation/clock.h"
#include "platform/springboard/springboard.h"
#include "platform/springboard/uikit.h"

namespace platform::springboard {
namespace {

QColor toQColor(const Color& c) { return QColor::fromRgbF(c.red, c.green, c.blue, c.alpha); }

void paintView(QPainter& p, const UIView& view, QPointF origin) {
  auto s = view.state();
  if (s.alpha <= 0.0) return;
  QRectF rect(origin.x() + s.frame.x, origin.y() + s.frame.y, s.frame.width, s.frame.height);
  p.save();
  p.setOpacity(p.opacity() * s.alpha);
  if (s.background && s.background->alpha > 0) {
    QPainterPath path;
    // A corner radius beyond half the side rounds the view into a circle.
    double r = std::min(s.cornerRadius, std::min(rect.width(), rect.height()) / 2.0);
    path.addRoundedRect(rect, r, r);
    p.fillPath(path, toQColor(*s.background));
  }
  for (const auto& sub : view.subviews()) paintView(p, *sub, rect.topLeft());
  p.restore();
}

}  // namespace

ScreenView::ScreenView(const SpringBoard& board, QWidget* parent) : QWidget(parent), board_(board) {
  const auto& d = board_.device();
  setFixedSize(static_cast<int>(d.screenWidth), static_cast<int>(d.screenHeight));
}

void ScreenView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const auto& d = board_.device();
  const double w = d.screenWidth, h = d.screenHeight;

  QLinearGradient wallpaper(0, 0, w * 0.3, h);
  wallpaper.setColorAt(0, QColor(38, 64, 120));
  wallpaper.setColorAt(1, QColor(120, 60, 110));
  p.fillRect(QRectF(0, 0, w, h), wallpaper);

  // The status bar: time on the left, as the phone shows it.
  p.setPen(Qt::white);
  QFont font = p.font();
  font.setPixelSize(12);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(12, 2, 80, 16), Qt::AlignLeft | Qt::AlignVCenter,
             platform::clock::now().toString(QStringLiteral("HH:mm")));

  font.setPixelSize(11);
  font.setBold(false);
  p.setFont(font);
  for (const IconSlot& slot : iconLayout(board_)) {
    const QRectF& r = slot.icon;
    auto img = platform::apps::renderIcon(slot.app, r.width(), r.height(), d.screenScale, 12.0);
    if (!img.isNull()) p.drawImage(r, img.qimage());
    p.drawText(QRectF(r.x() - 10, r.bottom() + 2, r.width() + 20, 14), Qt::AlignHCenter | Qt::AlignTop,
               QString::fromStdString(slot.app.displayName));
  }

  // The status-bar window lies over everything, in screen coordinates.
  if (auto window = runtime::as<UIView>(board_.statusBarWindow())) {
    for (const auto& sub : window->subviews()) {
      paintView(p, *sub, QPointF(0, 0));
    }
  }
}

std::vector<IconSlot> iconLayout(const SpringBoard& board) {
  // Four columns of 60-point icons, names below.
  const auto& d = board.device();
  const double icon = 60, colW = d.screenWidth / 4.0, rowH = 90, top = 40;
  std::vector<IconSlot> icons;
  for (auto& app : board.apps()->apps()) {
    const size_t i = icons.size();
    double x = static_cast<double>(i % 4) * colW + (colW - icon) / 2.0;
    double y = top + static_cast<double>(i / 4) * rowH;
    if (y + icon > d.screenHeight - 100) break;
    icons.push_back(IconSlot{std::move(app), QRectF(x, y, icon, icon)});
  }
  return icons;
}

QImage renderScreen(const SpringBoard& board) {
  const auto& d = board.device();
  ScreenView view(board);
  QImage image(static_cast<int>(d.screenWidth * d.screenScale), static_cast<int>(d.screenHeight * d.screenScale),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(d.screenScale);
  image.fill(Qt::black);
  view.render(&image);
  return image;
}

}  // namespace platform::springboard
