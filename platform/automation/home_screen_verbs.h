// The home-screen process's verbs, served on DEVICE/run/springboard.sock,
// next to the user-interface verbs over its own screen (ui_verbs.h).
//
// Answers of the app verbs (an APP is {"bundle", "pid", "state": "running"
// | "ended"} and, once ended, "status" (exit status) or "signal"):
//   launch     {"app": APP, "started": bool} (false: it was running
//              already), or an error answer with code "notInstalled",
//              "noExecutable" or "cannotStart".
//   terminate  {"app": APP} once it ended, or code "notRunning".
//   apps       {"apps": [APP...], "front": BUNDLE_ID}: running apps in
//              launch order, then the most recently ended ones; "front"
//              names the app in front, absent while the home screen is.
//   home       {"ok": true} once the home screen is in front.
//
// A call: call answers "rings": true when the hook library handed it on and
// the phone rings (or the call waits behind the one there). answer,
// decline and end act on the call ringing or in progress (end while it
// rings: the caller hung up, a missed call) and answer {"call": CALL as it
// was, "current": CALL after, if one is there} with CALL {"name", "app",
// "state": "ringing" | "inProgress", "waiting": calls behind it}, or code
// "noCall".
#pragma once

#include "platform/automation/ui_verbs.h"
#include "platform/automation/verbs.h"

namespace platform::automation::home_screen {

inline constexpr std::string_view kProcess = "springboard";

inline constexpr Argument kCallArguments[] = {
    {"name", Type::String, Need::Optional, "--name"},
    {"number", Type::String, Need::Optional, "--number"},
    {"contact", Type::String, Need::Optional, "--contact"},
    {"provider", Type::String, Need::Optional, "--provider"},
    {"providerBundle", Type::String, Need::Optional, "--provider-bundle"},
    {"status", Type::Number, Need::Optional, "--status"},
    {"incoming", Type::Bool, Need::Optional, "--outgoing", false},
    {"via", Type::String, Need::Optional, "--via"},
};
inline constexpr Argument kBulletinArguments[] = {
    {"section", Type::String, Need::Required, "--section"},
    {"title", Type::String, Need::Optional, "--title"},
    {"subtitle", Type::String, Need::Optional, "--subtitle"},
    {"message", Type::String, Need::Optional, "--message"},
    {"age", Type::Number, Need::Optional, "--age"},
    {"noDate", Type::Bool, Need::Optional, "--no-date"},
};
inline constexpr Argument kBundleArguments[] = {{"bundle", Type::String, Need::Required}};

namespace code {
inline constexpr const char* kNotInstalled = "notInstalled";
inline constexpr const char* kNoExecutable = "noExecutable";
inline constexpr const char* kCannotStart = "cannotStart";
inline constexpr const char* kNotRunning = "notRunning";
inline constexpr const char* kNoCall = "noCall";
}  // namespace code

inline constexpr Verb kStatus{"status", {}, "the process's status object"};
inline constexpr Verb kCall{"call", kCallArguments, "delivers a call through the event, the update (--via) or both"};
inline constexpr Verb kBulletin{"bulletin", kBulletinArguments, "publishes a bulletin of an app"};
inline constexpr Verb kAppear{"appear", {}, "the home screen comes into view"};
inline constexpr Verb kStatusBar{"statusbar", {}, "gives the status-bar window a further status bar"};
inline constexpr Verb kLaunch{"launch", kBundleArguments, "starts an installed app that has an executable"};
inline constexpr Verb kTerminate{"terminate", kBundleArguments, "ends a running app: SIGTERM, SIGKILL after 2 s"};
inline constexpr Verb kRespring{"respring", {},
                                "ends the running apps, starts a new home-screen process and exits: {\"ok\": true}"};
inline constexpr Verb kApps{"apps", {}, "the running apps and the ended ones with their exit status, and the app in front"};
inline constexpr Verb kHome{"home", {}, "presses Home: the home screen comes to front, the apps keep running"};

inline constexpr Verb kAnswer{"answer", {}, "answers the ringing call"};
inline constexpr Verb kDecline{"decline", {}, "declines the ringing call"};
inline constexpr Verb kEnd{"end", {}, "ends the call in progress, or the caller hangs up while it rings"};

inline constexpr Argument kOpenedArguments[] = {{"bundle", Type::String, Need::Required},
                                                {"title", Type::String, Need::Optional, "--title"}};
inline constexpr Verb kNotifications{"notifications", {},
                                     "the delivered notifications the list shows, newest first: {\"notifications\": "
                                     "[{\"id\", \"date\", \"bundle\", \"app\", \"title\", \"subtitle\", "
                                     "\"message\", \"opened\"}...]}"};
inline constexpr Verb kOpened{"opened", kOpenedArguments,
                              "an app opened its notifications (of one sender: --title): its badge counts them no more"};

inline constexpr Verb kVerbs[] = {kStatus,  kCall, kAnswer, kDecline, kEnd, kNotifications, kOpened,   kBulletin, kAppear,   kStatusBar, kLaunch,
                                  kTerminate, kApps,   kHome, kRespring, ui::kTree, ui::kTap,  ui::kBack,  ui::kPull,
                                  ui::kScroll, ui::kSwipe, ui::kType, ui::kToggle, ui::kWait, ui::kScreenshot, ui::kAuth, ui::kQuit};

}  // namespace platform::automation::home_screen
