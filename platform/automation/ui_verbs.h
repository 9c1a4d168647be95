// The user-interface verbs every GUI process of a device serves (the home
// screen, each app, the Settings app): read the key window's view tree and
// act on it the way a person does.
//
// An app's channel is DEVICE/run/BUNDLE_ID.sock (socketName); the home
// screen serves these verbs on its own channel next to its own verbs.
//
// Answers:
//   tree        {"tree": NODE}; a NODE has "class", "frame" [x, y, w, h] in
//               points in window coordinates, "visible", "enabled", and where
//               they apply "text", "detail", "value", "title", "textColor",
//               "backgroundColor" ("#RRGGBBAA"), "badge", "image" [w, h],
//               "identifier", "section", "row", and "children" [NODE...].
//   tap, back, pull, scroll, swipe, type, toggle
//               {"done": true} once the event was delivered, or an error
//               answer with code "notFound" when nothing matches.
//   wait        {"found": true|false} after at most "timeout" seconds
//               (0 to 600; one that is no finite number is refused).
//   screenshot  {"path": FILE, "width": PX, "height": PX}, or code
//               "cannotWrite".
//   auth        {"done": true} once the open authentication prompt took the
//               answer ("success" or an error code such as "-2"); code
//               "noPrompt" when none is open, "badArgument" for another text.
#pragma once

#include <string>
#include <string_view>

#include "platform/automation/socket_address.h"
#include "platform/automation/verbs.h"

namespace platform::automation::ui {

// The socket name of an app's channel.
inline std::string socketName(std::string_view bundleIdentifier) { return std::string(bundleIdentifier); }
// Whether an app of that identifier can serve its channel wherever the
// device lies.
inline bool canServe(std::string_view bundleIdentifier) {
  return socketName(bundleIdentifier).size() + sizeof(".sock") - 1 <= kMaxSocketFileName;
}

namespace code {
inline constexpr const char* kNotFound = "notFound";
inline constexpr const char* kNoPrompt = "noPrompt";
inline constexpr const char* kCannotWrite = "cannotWrite";
}

// tap: the first visible, enabled element whose text or title is "text"
// (when none is on screen, the front table is scrolled through its rows
// until one is, as toggle does);
// or the element with "identifier"; or the cell at "row" (and "section", 0
// by default) of the front table; or the point "x", "y".
inline constexpr Argument kTapArguments[] = {
    {"text", Type::String},
    {"identifier", Type::String, Need::Optional, "--id"},
    {"row", Type::Number, Need::Optional, "--row"},
    {"section", Type::Number, Need::Optional, "--section"},
    {"x", Type::Number},
    {"y", Type::Number},
};
inline constexpr Argument kScrollArguments[] = {
    {"row", Type::Number, Need::Required, "--row"},
    {"section", Type::Number, Need::Optional, "--section"},
};
// swipe: across the cell at "row" (and "section") of the front table,
// towards the left (from its right end, the default) or towards the right.
inline constexpr Argument kSwipeArguments[] = {
    {"row", Type::Number, Need::Required, "--row"},
    {"section", Type::Number, Need::Optional, "--section"},
    {"left", Type::Bool, Need::Optional, "--left"},
    {"right", Type::Bool, Need::Optional, "--right"},
};
inline constexpr Argument kTextArguments[] = {{"text", Type::String, Need::Required}};
inline constexpr Argument kWaitArguments[] = {
    {"text", Type::String, Need::Required},
    {"timeout", Type::Number, Need::Optional, "--timeout"},
};
inline constexpr Argument kScreenshotArguments[] = {{"path", Type::String, Need::Required}};
inline constexpr Argument kAuthArguments[] = {{"answer", Type::String, Need::Required}};

inline constexpr Verb kTree{"tree", {}, "the key window's view tree as JSON"};
inline constexpr Verb kTap{"tap", kTapArguments, "taps an element: TEXT, --id ID, --row N [--section S] or --at X Y"};
inline constexpr Verb kBack{"back", {}, "swipes from the left edge: the front navigation controller goes back"};
inline constexpr Verb kPull{"pull", {}, "pulls the front table down to refresh it"};
inline constexpr Verb kScroll{"scroll", kScrollArguments, "scrolls the front table until the row is on screen"};
inline constexpr Verb kSwipe{"swipe", kSwipeArguments,
                             "swipes across a row of the front table: from its right end (--left, the default; "
                             "shows its \"Delete\") or towards the right (--right)"};
inline constexpr Verb kType{"type", kTextArguments, "types TEXT into the focused text field (\\b: a backspace)"};
inline constexpr Verb kToggle{"toggle", kTextArguments, "flips the switch of the cell whose text is TEXT"};
inline constexpr Verb kWait{"wait", kWaitArguments, "waits until TEXT is on screen (10 seconds by default)"};
inline constexpr Verb kScreenshot{"screenshot", kScreenshotArguments,
                                  "writes the window as a PNG at the device's scale to the file path"};
inline constexpr Verb kAuth{"auth", kAuthArguments,
                            "answers the open authentication prompt: success or an error code (-1 to -9)"};
inline constexpr Verb kQuit{"quit", {}, "the process answers, then exits with status 0"};

inline constexpr Verb kVerbs[] = {kTree, kTap, kBack, kPull, kScroll, kSwipe, kType, kToggle, kWait, kScreenshot, kAuth, kQuit};

inline constexpr double kDefaultWaitSeconds = 10.0;
// A longer wait is cut to this.
inline constexpr double kMaxWaitSeconds = 600.0;

}  // namespace platform::automation::ui
