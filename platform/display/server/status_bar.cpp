#include "platform/display/server/status_bar.h"

#include <QBrush>
#include <QPainter>

namespace platform::display {

void drawStatusBar(QImage& frame, const QImage& home, const std::vector<Area>& areas, QSize points) {
  if (home.isNull() || frame.isNull()) return;
  QPainter painter(&frame);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  const double from = home.width() / static_cast<double>(points.width());
  const double to = frame.width() / static_cast<double>(points.width());
  for (const Area& a : areas) {
    const QRectF into(a.rect.topLeft() * to, a.rect.size() * to);
    if (a.cornerRadius <= 0) {
      painter.drawImage(into, home, QRectF(a.rect.topLeft() * from, a.rect.size() * from));
      continue;
    }
    // Rounded, its edge blended with the app below.
    QBrush brush(home);
    brush.setTransform(QTransform::fromScale(to / from, to / from));
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawRoundedRect(into, a.cornerRadius * to, a.cornerRadius * to);
    painter.restore();
  }
}

}  // namespace platform::display
