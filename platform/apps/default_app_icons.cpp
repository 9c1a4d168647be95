#include "platform/apps/default_app_icons.h"

#include "platform/apps/calling_apps.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <cmath>
#include <numbers>

namespace platform::apps {

namespace {

// Icons are drawn on a 180-pixel canvas (60 points at scale 3), with shapes
// only: a headless device may have no fonts at all.
constexpr int kSide = 180;
constexpr double kCorner = kSide * 0.2;
constexpr QRgb kWhite = 0xffffffff;

QPainterPath polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(points)));
  path.closeSubpath();
  return path;
}

QPainterPath ellipse(double cx, double cy, double rx, double ry) {
  QPainterPath path;
  path.addEllipse(QPointF(cx, cy), rx, ry);
  return path;
}

// A telephone handset: a thick arc with a rounded ear and mouth piece,
// bulging towards the lower left. `size` 1 fills most of the canvas.
QPainterPath handset(double cx, double cy, double size) {
  QPainterPath arc;
  const double r = 45 * size;
  arc.arcMoveTo(QRectF(cx - r, cy - r, 2 * r, 2 * r), 200);
  arc.arcTo(QRectF(cx - r, cy - r, 2 * r, 2 * r), 200, 140);
  QPainterPathStroker stroker;
  stroker.setWidth(24 * size);
  stroker.setCapStyle(Qt::RoundCap);
  QPainterPath shape = stroker.createStroke(arc);
  for (double degrees : {200.0, 340.0}) {
    double a = degrees * std::numbers::pi / 180;
    shape = shape.united(ellipse(cx + r * std::cos(a), cy - r * std::sin(a), 17 * size, 17 * size));
  }
  QTransform turn;
  turn.translate(cx, cy).rotate(45).translate(-cx, -cy);
  return turn.map(shape.simplified());
}

// A speech bubble with its tail at the lower left.
QPainterPath bubble(double cx, double cy, double rx, double ry) {
  QPainterPath path = ellipse(cx, cy, rx, ry);
  path = path.united(polygon({{cx - rx * 0.6, cy + ry * 0.5}, {cx - rx * 0.8, cy + ry * 1.3},
                              {cx - rx * 0.15, cy + ry * 0.85}}));
  return path.simplified();
}

void drawPhone(QPainter& p) { p.fillPath(handset(90, 90, 1.0), QColor(kWhite)); }

void drawFaceTime(QPainter& p) {
  QPainterPath body;
  body.addRoundedRect(QRectF(32, 60, 82, 60), 14, 14);
  p.fillPath(body.united(polygon({{108, 90}, {148, 62}, {148, 118}})), QColor(kWhite));
}

void drawMessages(QPainter& p) { p.fillPath(bubble(90, 84, 62, 48), QColor(kWhite)); }

void drawWhatsApp(QPainter& p) {
  QPainterPath outer = bubble(90, 88, 58, 58);
  p.fillPath(outer.subtracted(ellipse(90, 88, 46, 46)), QColor(kWhite));
  p.fillPath(handset(90, 90, 0.45), QColor(kWhite));
}

void drawSignal(QPainter& p) {
  QPen dashes(QColor(kWhite), 9, Qt::CustomDashLine, Qt::FlatCap);
  dashes.setDashPattern({2.2, 0.9});
  p.setPen(dashes);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(90, 88), 60, 60);
  p.setPen(Qt::NoPen);
  p.fillPath(bubble(90, 88, 44, 44), QColor(kWhite));
}

void drawTelegram(QPainter& p) {
  p.fillPath(polygon({{30, 88}, {150, 40}, {126, 144}, {94, 120}, {78, 140}, {76, 106}}), QColor(kWhite));
  p.fillPath(polygon({{76, 106}, {150, 40}, {94, 120}}), QColor(0xffc8daea));
}

void drawMessenger(QPainter& p) {
  p.fillPath(bubble(90, 86, 62, 56), QColor(kWhite));
  p.fillPath(polygon({{48, 110}, {82, 70}, {100, 88}, {132, 66}, {98, 106}, {80, 88}}), QColor(0xff3d6cff));
}

void drawDiscord(QPainter& p) {
  QPainterPath face;
  face.addRoundedRect(QRectF(34, 52, 112, 76), 32, 32);
  face = face.united(polygon({{40, 84}, {58, 40}, {84, 56}}))
             .united(polygon({{140, 84}, {122, 40}, {96, 56}}))
             .simplified();
  face = face.subtracted(ellipse(68, 92, 11, 13)).subtracted(ellipse(112, 92, 11, 13));
  p.fillPath(face, QColor(kWhite));
}

void drawSettings(QPainter& p) {
  constexpr int kTeeth = 12;
  QPolygonF outline;
  for (int i = 0; i < kTeeth * 4; ++i) {
    double r = (i % 4 < 2) ? 64 : 50;
    double a = (i - 0.5) * std::numbers::pi * 2 / (kTeeth * 4);
    outline << QPointF(90 + r * std::cos(a), 90 + r * std::sin(a));
  }
  QPainterPath gear;
  gear.addPolygon(outline);
  gear.closeSubpath();
  p.fillPath(gear.subtracted(ellipse(90, 90, 34, 34)), QColor(0xff3a3a3c));
  p.fillPath(ellipse(90, 90, 24, 24).subtracted(ellipse(90, 90, 12, 12)), QColor(0xff3a3a3c));
}

void drawMail(QPainter& p) {
  QPainterPath envelope;
  envelope.addRoundedRect(QRectF(28, 52, 124, 80), 8, 8);
  p.fillPath(envelope, QColor(kWhite));
  p.setPen(QPen(QColor(0xff1a73d9), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(32, 58), QPointF(90, 102), QPointF(148, 58)}));
  p.setPen(Qt::NoPen);
}

void drawCalendar(QPainter& p) {
  QPainterPath top;
  top.addRect(0, 0, kSide, 46);
  p.fillPath(top, QColor(0xffff3b30));
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 4; ++col) {
      QPainterPath day;
      day.addRoundedRect(QRectF(28 + col * 33, 66 + row * 33, 24, 24), 5, 5);
      bool today = row == 1 && col == 2;
      p.fillPath(day, QColor(today ? 0xffff3b30 : 0xff48484a));
    }
  }
}

void drawContacts(QPainter& p) {
  p.fillPath(ellipse(90, 70, 28, 28), QColor(0xff8e8e93));
  QPainterPath shoulders;
  shoulders.addRoundedRect(QRectF(40, 106, 100, 60), 30, 30);
  p.fillPath(shoulders, QColor(0xff8e8e93));
}

void drawCalmora(QPainter& p) {
  p.fillPath(ellipse(86, 94, 52, 52).subtracted(ellipse(110, 74, 44, 44)), QColor(0xffffe58a));
  p.fillPath(polygon({{132, 40}, {138, 56}, {154, 62}, {138, 68}, {132, 84}, {126, 68}, {110, 62}, {126, 56}}),
             QColor(0xffffe58a));
}

const DefaultApp kDefaultApps[] = {
    {"MobilePhone.app", kPhone.bundle, kPhone.name, 0xff5ff777, 0xff2fb350, drawPhone},
    {"FaceTime.app", kFaceTime.bundle, kFaceTime.name, 0xff3fd96b, 0xff0f8a3c, drawFaceTime},
    {"MobileSMS.app", "com.apple.MobileSMS", "Messages", 0xff6ff58a, 0xff24c448, drawMessages},
    {"WhatsApp.app", kWhatsApp.bundle, kWhatsApp.name, 0xff61e88f, 0xff128c7e, drawWhatsApp},
    {"Signal.app", kSignal.bundle, kSignal.name, 0xff5b8ff5, 0xff2c6bed, drawSignal},
    {"Telegram.app", kTelegram.bundle, kTelegram.name, 0xff5ec8f2, 0xff1d93d2, drawTelegram},
    {"Messenger.app", kMessenger.bundle, kMessenger.name, 0xff00b2ff, 0xffa033ff, drawMessenger},
    {"Discord.app", kDiscord.bundle, kDiscord.name, 0xff7983f5, 0xff4752c4, drawDiscord},
    {"Preferences.app", "com.apple.Preferences", "Settings", 0xffc7c7cc, 0xff8e8e93, drawSettings},
    {"Contacts.app", "com.apple.MobileAddressBook", "Contacts", 0xfff2f2f7, 0xffd1d1d6, drawContacts},
    {"MobileMail.app", "com.apple.mobilemail", "Mail", 0xff6ac4ff, 0xff1a73d9, drawMail},
    {"MobileCal.app", "com.apple.mobilecal", "Calendar", 0xffffffff, 0xffe5e5ea, drawCalendar},
    {"Calmora.app", "com.veltrane.calmora", "Calmora", 0xff5e5ce6, 0xff2c2a8c, drawCalmora},
};

}  // namespace

std::span<const DefaultApp> defaultApps() { return kDefaultApps; }

QImage drawDefaultAppIcon(const DefaultApp& app) {
  QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  QPainterPath square;
  square.addRoundedRect(QRectF(0, 0, kSide, kSide), kCorner, kCorner);
  QLinearGradient fill(0, 0, 0, kSide);
  fill.setColorAt(0, QColor(app.top));
  fill.setColorAt(1, QColor(app.bottom));
  p.fillPath(square, fill);
  p.setClipPath(square);
  app.glyph(p);
  return image;
}

}  // namespace platform::apps
