#include "platform/display/requests.h"

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

}  // namespace platform::display
