#include "platform/display/requests.h"

#include <QJsonArray>
#include <algorithm>

#include "platform/automation/server.h"

namespace platform::display {
namespace {

Refusal bad(const QString& text) { return QJsonObject{{"error", text}, {"code", automation::code::kBadArgument}}; }

}  // namespace

Result<PointerRequest, Refusal> readPointer(const QJsonObject& request) {
  static const std::pair<const char*, PointerRequest::Phase> kPhases[] = {
      {"down", PointerRequest::Phase::Down}, {"move", PointerRequest::Phase::Move}, {"up", PointerRequest::Phase::Up}};
  const QString phase = request["phase"].toString();
  for (const auto& [name, value] : kPhases)
    if (phase == QLatin1String(name)) return PointerRequest{{request["x"].toDouble(), request["y"].toDouble()}, value};
  return bad("'phase' is down, move or up");
}

Result<KeyRequest, Refusal> readKey(const QJsonObject& request) {
  const double code = request["code"].toDouble();
  if (!(code >= 8 && code <= 255)) return bad("'code' is a key code from 8 to 255");
  Qt::KeyboardModifiers held;
  if (request["shift"].toBool()) held |= Qt::ShiftModifier;
  if (request["control"].toBool()) held |= Qt::ControlModifier;
  if (request["alt"].toBool()) held |= Qt::AltModifier;
  return KeyRequest{static_cast<quint32>(code), request["down"].toBool(), held};
}

Result<int, Refusal> readScale(const QJsonObject& request) {
  const double scale = request["scale"].toDouble();
  if (scale != 1 && scale != 2) return bad("'scale' is 1 or 2");
  return static_cast<int>(scale);
}

Result<StatusBarRequest, Refusal> readStatusBar(const QJsonObject& request, QSizeF screen) {
  const QJsonArray list = request["rects"].toArray();
  if (list.size() > static_cast<qsizetype>(kMaxStatusBarRects))
    return bad(QString("at most %1 rects").arg(kMaxStatusBarRects));
  StatusBarRequest read{static_cast<qint64>(request["pid"].toDouble()), {}};
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
