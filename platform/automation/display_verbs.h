// The display process's verbs, served on DEVICE/run/display.sock: what the
// device window and the tools ask the device's screen, each with its
// request and answer as types below. Points are the screen's, from its top
// left corner. A refusal is {"error", "code"} (code "noWindow", and the
// channel's own).
// A scale asked goes back to 1 once the connection that asked for it ends.
#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QString>
#include <tuple>

#include "platform/automation/typed_json.h"
#include "platform/automation/ui_verbs.h"
#include "platform/automation/verbs.h"

namespace platform::automation::display {

inline constexpr std::string_view kProcess = "display";
// Room left in a request line for the clipboard's text, JSON-escaped.
inline constexpr size_t kMaxClipboardBytes = 10 * 1024;

namespace code {
inline constexpr const char* kNoWindow = "noWindow";
}

inline constexpr Argument kFrameArguments[] = {{"after", Type::Number, Need::Required}};
inline constexpr Argument kFrontArguments[] = {{"pid", Type::Number, Need::Required}};
inline constexpr Argument kPointerArguments[] = {
    {"x", Type::Number, Need::Required}, {"y", Type::Number, Need::Required}, {"phase", Type::String, Need::Required}};
inline constexpr Argument kKeyArguments[] = {
    {"code", Type::Number, Need::Required}, {"down", Type::Bool, Need::Required}, {"shift", Type::Bool},
    {"control", Type::Bool},                {"alt", Type::Bool}};

inline constexpr Verb kStatus{"status", {}, "the screen's size, its windows and the one in front"};
inline constexpr Verb kFrames{"frames", {}, "hands over the frame memory"};
inline constexpr Verb kFrame{"frame", kFrameArguments, "answers once a frame newer than AFTER is shown"};
inline constexpr Verb kFront{"front", kFrontArguments, "brings the window of a process to front"};
inline constexpr Verb kPointer{"pointer", kPointerArguments, "moves, puts down or lifts the finger"};
inline constexpr Verb kKey{"key", kKeyArguments, "presses or lets go a key for the focused window"};
inline constexpr Argument kScaleArguments[] = {{"scale", Type::Number, Need::Required}};
inline constexpr Verb kScale{"scale", kScaleArguments, "the pixels a point (1 or 2) the windows draw at"};

inline constexpr Argument kWheelArguments[] = {
    {"x", Type::Number, Need::Required}, {"y", Type::Number, Need::Required}, {"delta", Type::Number, Need::Required}};
inline constexpr Verb kWheel{"wheel", kWheelArguments, "turns the wheel under the pointer"};
inline constexpr Argument kClipboardArguments[] = {{"after", Type::Number, Need::Required}};
inline constexpr Verb kClipboard{"clipboard", kClipboardArguments, "answers once text newer than AFTER is copied"};
inline constexpr Argument kSetClipboardArguments[] = {{"text", Type::String, Need::Required}};
inline constexpr Verb kSetClipboard{"setClipboard", kSetClipboardArguments, "puts text on the device's clipboard"};

// The requests and answers.
struct Nothing {};
constexpr auto fields(const Nothing*) { return std::tuple<>(); }
struct Done {
  bool ok = true;
};
constexpr auto fields(const Done*) { return std::tuple(Field<Done, bool>{"ok", &Done::ok}); }

// The screen's size in points, the process in front (a pid, or null), and
// the windows [{"pid", "title"}...], front last.
struct StatusAnswer {
  bool running = true;
  double width = 0, height = 0;
  QJsonValue front;
  QJsonArray windows;
};
constexpr auto fields(const StatusAnswer*) {
  using A = StatusAnswer;
  return std::tuple(Field<A, bool>{"running", &A::running}, Field<A, double>{"width", &A::width},
                    Field<A, double>{"height", &A::height}, Field<A, QJsonValue>{"front", &A::front},
                    Field<A, QJsonArray>{"windows", &A::windows});
}

// Answered once a frame newer than `after` is in the frame memory (see
// frame_file.h): its slot and its size in pixels, the points times the
// scale it was drawn at.
struct FrameRequest {
  double after = 0;
};
constexpr auto fields(const FrameRequest*) { return std::tuple(Field<FrameRequest, double>{"after", &FrameRequest::after}); }
struct FrameAnswer {
  double seq = 0, slot = 0, width = 0, height = 0, stride = 0;
};
constexpr auto fields(const FrameAnswer*) {
  using A = FrameAnswer;
  return std::tuple(Field<A, double>{"seq", &A::seq}, Field<A, double>{"slot", &A::slot},
                    Field<A, double>{"width", &A::width}, Field<A, double>{"height", &A::height},
                    Field<A, double>{"stride", &A::stride});
}

// Brings the latest window of `pid` to front.
struct FrontRequest {
  double pid = 0;
};
constexpr auto fields(const FrontRequest*) { return std::tuple(Field<FrontRequest, double>{"pid", &FrontRequest::pid}); }
struct FrontAnswer {
  double front = 0;
};
constexpr auto fields(const FrontAnswer*) { return std::tuple(Field<FrontAnswer, double>{"front", &FrontAnswer::front}); }

// The finger at x, y: `phase` "down", "move" or "up".
struct PointerRequest {
  double x = 0, y = 0;
  QString phase;
};
constexpr auto fields(const PointerRequest*) {
  using R = PointerRequest;
  return std::tuple(Field<R, double>{"x", &R::x}, Field<R, double>{"y", &R::y}, Field<R, QString>{"phase", &R::phase});
}

// The key of X/evdev key code `code` pressed (`down`) or let go, with the
// modifiers held.
struct KeyRequest {
  double code = 0;
  bool down = false, shift = false, control = false, alt = false;
};
constexpr auto fields(const KeyRequest*) {
  using R = KeyRequest;
  return std::tuple(Field<R, double>{"code", &R::code}, Field<R, bool>{"down", &R::down},
                    Field<R, bool>{"shift", &R::shift}, Field<R, bool>{"control", &R::control},
                    Field<R, bool>{"alt", &R::alt});
}

// The pixels a point each way (1 or 2) the device's windows draw at from
// their next frame on; points stay points.
struct ScaleRequest {
  double scale = 1;
};
constexpr auto fields(const ScaleRequest*) { return std::tuple(Field<ScaleRequest, double>{"scale", &ScaleRequest::scale}); }
using ScaleAnswer = ScaleRequest;

// The wheel turned by `delta` (120 a notch, positive away from the person:
// the content moves down) with the pointer at x, y.
struct WheelRequest {
  double x = 0, y = 0, delta = 0;
};
constexpr auto fields(const WheelRequest*) {
  using R = WheelRequest;
  return std::tuple(Field<R, double>{"x", &R::x}, Field<R, double>{"y", &R::y}, Field<R, double>{"delta", &R::delta});
}

// Answered once text newer than `after` was copied in the device: its
// number and the text.
struct ClipboardRequest {
  double after = 0;
};
constexpr auto fields(const ClipboardRequest*) {
  return std::tuple(Field<ClipboardRequest, double>{"after", &ClipboardRequest::after});
}
struct ClipboardAnswer {
  double seq = 0;
  QString text;
};
constexpr auto fields(const ClipboardAnswer*) {
  using A = ClipboardAnswer;
  return std::tuple(Field<A, double>{"seq", &A::seq}, Field<A, QString>{"text", &A::text});
}

// The device's clipboard holds `text`, at most kMaxClipboardBytes in UTF-8.
struct SetClipboardRequest {
  QString text;
};
constexpr auto fields(const SetClipboardRequest*) {
  return std::tuple(Field<SetClipboardRequest, QString>{"text", &SetClipboardRequest::text});
}

inline constexpr Typed<Nothing, StatusAnswer> kStatusCall{kStatus};
// Answered with the frame memory's descriptor beside it (SCM_RIGHTS).
inline constexpr Typed<Nothing, Done> kFramesCall{kFrames};
inline constexpr Typed<FrameRequest, FrameAnswer> kFrameCall{kFrame};
inline constexpr Typed<FrontRequest, FrontAnswer> kFrontCall{kFront};
inline constexpr Typed<PointerRequest, Done> kPointerCall{kPointer};
inline constexpr Typed<KeyRequest, Done> kKeyCall{kKey};
inline constexpr Typed<ScaleRequest, ScaleAnswer> kScaleCall{kScale};
inline constexpr Typed<WheelRequest, Done> kWheelCall{kWheel};
inline constexpr Typed<ClipboardRequest, ClipboardAnswer> kClipboardCall{kClipboard};
inline constexpr Typed<SetClipboardRequest, Done> kSetClipboardCall{kSetClipboard};
static_assert(requestMatchesTable(kStatusCall) && requestMatchesTable(kFramesCall) && requestMatchesTable(kFrameCall) &&
              requestMatchesTable(kFrontCall) &&
              requestMatchesTable(kPointerCall) && requestMatchesTable(kKeyCall) && requestMatchesTable(kScaleCall) &&
              requestMatchesTable(kWheelCall) && requestMatchesTable(kClipboardCall) &&
              requestMatchesTable(kSetClipboardCall));

inline constexpr Verb kVerbs[] = {kStatus, kFrames,    kFrame,        kFront,     kPointer,
                                  kKey,    kWheel,     kScale,        kClipboard, kSetClipboard, ui::kQuit};

}  // namespace platform::automation::display
