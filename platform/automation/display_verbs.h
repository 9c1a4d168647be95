// The display process's verbs, served on DEVICE/run/display.sock: what the
// device window and the tools ask the device's screen. Points are the
// screen's, from its top left corner.
//   status   {"running": true, "width", "height", "front": PID or null,
//            "windows": [{"pid", "title"}...] front last}
//   frames   {"ok": true} with the frame memory's descriptor beside it
//            (SCM_RIGHTS; see frame_file.h)
//   frame    {"seq", "slot", "width", "height", "stride"} once a frame
//            newer than "after" is in the frame memory;
//            its size in pixels, the points times the scale it was drawn at
//   front    brings the window of "pid" to front: {"front": PID}, or code
//            "noWindow"
//   statusBar  from the home screen's process "pid" alone: the rectangles "rects"
//            ([[x, y, width, height, corner radius]...], at most 16; the
//            radius may be left out) of its latest window, its status bar,
//            show over any other window in front, and its window comes to
//            front when the one in front ends: {"ok": true}
//   pointer  the finger at "x","y": "phase" "down", "move" or "up"
//   key      the key of X/evdev key code "code" pressed ("down") or let go,
//            with the modifiers held ("shift", "control", "alt")
//   scale    the pixels a point each way (1 or 2) the device's windows draw
//            at from their next frame on: {"scale": N}; points stay points
#pragma once

#include "platform/automation/ui_verbs.h"
#include "platform/automation/verbs.h"

namespace platform::automation::display {

inline constexpr std::string_view kProcess = "display";

namespace code {
inline constexpr const char* kNoWindow = "noWindow";
inline constexpr const char* kNotHomeScreen = "notHomeScreen";
}

inline constexpr Argument kFrameArguments[] = {{"after", Type::Number, Need::Required}};
inline constexpr Argument kFrontArguments[] = {{"pid", Type::Number, Need::Required}};
inline constexpr Argument kStatusBarArguments[] = {{"pid", Type::Number, Need::Required},
                                                   {"rects", Type::Array, Need::Required}};
inline constexpr Argument kPointerArguments[] = {
    {"x", Type::Number, Need::Required}, {"y", Type::Number, Need::Required}, {"phase", Type::String, Need::Required}};
inline constexpr Argument kKeyArguments[] = {
    {"code", Type::Number, Need::Required}, {"down", Type::Bool, Need::Required}, {"shift", Type::Bool},
    {"control", Type::Bool},                {"alt", Type::Bool}};

inline constexpr Verb kStatus{"status", {}, "the screen's size, its windows and the one in front"};
inline constexpr Verb kFrames{"frames", {}, "hands over the frame memory"};
inline constexpr Verb kFrame{"frame", kFrameArguments, "answers once a frame newer than AFTER is shown"};
inline constexpr Verb kFront{"front", kFrontArguments, "brings the window of a process to front"};
inline constexpr Verb kStatusBar{"statusBar", kStatusBarArguments, "shows the home screen's status bar over all"};
inline constexpr Verb kPointer{"pointer", kPointerArguments, "moves, puts down or lifts the finger"};
inline constexpr Verb kKey{"key", kKeyArguments, "presses or lets go a key for the focused window"};
inline constexpr Argument kScaleArguments[] = {{"scale", Type::Number, Need::Required}};
inline constexpr Verb kScale{"scale", kScaleArguments, "the pixels a point (1 or 2) the windows draw at"};

inline constexpr Verb kVerbs[] = {kStatus, kFrames, kFrame, kFront, kStatusBar, kPointer, kKey, kScale, ui::kQuit};

}  // namespace platform::automation::display
