// The display's requests with arguments as values: each read and checked
// once from its JSON (the verb table has checked the types), so that the
// parts serving them work on typed fields. A request out of range is the
// error answer to give.
#pragma once

#include <QJsonObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <vector>

#include "platform/display/front.h"
#include "platform/foundation/error.h"

namespace platform::display {

struct PointerRequest {
  enum class Phase { Down, Move, Up };
  QPointF at;
  Phase phase = Phase::Move;
};

struct KeyRequest {
  quint32 code = 0;  // X/evdev key code, 8 to 255
  bool down = false;
  Qt::KeyboardModifiers held;
};

struct StatusBarRequest {
  qint64 pid = 0;
  std::vector<Area> areas;  // of the home screen's window, clipped by the screen
};

inline constexpr size_t kMaxStatusBarRects = 16;  // as display_verbs.h says

using Refusal = QJsonObject;  // {"error", "code"}
Result<PointerRequest, Refusal> readPointer(const QJsonObject& request);
Result<KeyRequest, Refusal> readKey(const QJsonObject& request);
Result<int, Refusal> readScale(const QJsonObject& request);
Result<StatusBarRequest, Refusal> readStatusBar(const QJsonObject& request, QSizeF screen);

}  // namespace platform::display
