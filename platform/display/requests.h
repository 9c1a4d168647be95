// The display's requests as the values its parts work on: each checked
// once from its typed request (display_verbs.h). A request out of range
// is the refusal to answer.
#pragma once

#include <QJsonObject>
#include <QPointF>

#include "platform/automation/display_verbs.h"
#include "platform/foundation/error.h"

namespace platform::display {

struct Pointer {
  enum class Phase { Down, Move, Up };
  QPointF at;
  Phase phase = Phase::Move;
};

struct KeyPress {
  quint32 code = 0;  // X/evdev key code, 8 to 255
  bool down = false;
  Qt::KeyboardModifiers held;
};

using Refusal = QJsonObject;  // {"error", "code"}
namespace wire = automation::display;
Result<Pointer, Refusal> readPointer(const wire::PointerRequest& request);
Result<KeyPress, Refusal> readKey(const wire::KeyRequest& request);
Result<int, Refusal> readScale(const wire::ScaleRequest& request);

}  // namespace platform::display
