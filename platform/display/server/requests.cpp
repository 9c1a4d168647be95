#include "platform/display/server/requests.h"

#include <QJsonArray>
#include <algorithm>

#include "platform/automation/server.h"

namespace platform::display {
namespace {

Refusal bad(const QString& text) { return QJsonObject{{"error", text}, {"code", automation::code::kBadArgument}}; }

}  // namespace

Result<Pointer, Refusal> readPointer(const wire::PointerRequest& request) {
  static const std::pair<const char*, Pointer::Phase> kPhases[] = {
      {"down", Pointer::Phase::Down}, {"move", Pointer::Phase::Move}, {"up", Pointer::Phase::Up}};
  for (const auto& [name, value] : kPhases)
    if (request.phase == QLatin1String(name)) return Pointer{{request.x, request.y}, value};
  return bad("'phase' is down, move or up");
}

Result<KeyPress, Refusal> readKey(const wire::KeyRequest& request) {
  if (!(request.code >= 8 && request.code <= 255)) return bad("'code' is a key code from 8 to 255");
  Qt::KeyboardModifiers held;
  if (request.shift) held |= Qt::ShiftModifier;
  if (request.control) held |= Qt::ControlModifier;
  if (request.alt) held |= Qt::AltModifier;
  return KeyPress{static_cast<quint32>(request.code), request.down, held};
}

Result<int, Refusal> readScale(const wire::ScaleRequest& request) {
  if (request.scale != 1 && request.scale != 2) return bad("'scale' is 1 or 2");
  return static_cast<int>(request.scale);
}

Result<StatusBarAreas, Refusal> readStatusBar(const wire::StatusBarRequest& request, QSizeF screen) {
  const QJsonArray& list = request.rects;
  if (list.size() > static_cast<qsizetype>(kMaxStatusBarRects))
    return bad(QString("at most %1 rects").arg(kMaxStatusBarRects));
  StatusBarAreas read{static_cast<qint64>(request.pid), {}};
  const QRectF whole(QPointF(0, 0), screen);
  for (const QJsonValue& v : list) {
    const QJsonArray r = v.toArray();
    if ((r.size() != 4 && r.size() != 5) ||
        !std::all_of(r.begin(), r.end(), [](const QJsonValue& n) { return n.isDouble(); }))
      return bad("each rect is [x, y, width, height, corner radius]");
    const QRectF rect(r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble());
    const QRectF onScreen = rect & whole;
    // Clipped by the screen's edge, its corners are no longer the view's.
    const double radius =
        onScreen == rect ? std::clamp(r.size() == 5 ? r[4].toDouble() : 0.0, 0.0, std::min(rect.width(), rect.height()) / 2)
                         : 0;
    if (!onScreen.isEmpty()) read.areas.push_back(Area{onScreen, radius});
  }
  return read;
}

}  // namespace platform::display
