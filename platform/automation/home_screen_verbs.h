// The home-screen process's verbs, served on DEVICE/run/springboard.sock.
#pragma once

#include "platform/automation/verbs.h"

namespace platform::automation::home_screen {

inline constexpr std::string_view kProcess = "springboard";

inline constexpr Argument kCallArguments[] = {
    {"name", Type::String, Need::Required, "--name"},
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
inline constexpr Argument kScreenshotArguments[] = {{"path", Type::String, Need::Required}};

inline constexpr Verb kStatus{"status", {}, "the process's status object"};
inline constexpr Verb kCall{"call", kCallArguments, "delivers a call through the event, the update (--via) or both"};
inline constexpr Verb kBulletin{"bulletin", kBulletinArguments, "publishes a bulletin of an app"};
inline constexpr Verb kAppear{"appear", {}, "the home screen comes into view"};
inline constexpr Verb kStatusBar{"statusbar", {}, "gives the status-bar window a further status bar"};
inline constexpr Verb kScreenshot{"screenshot", kScreenshotArguments, "writes the screen as a PNG to the file path"};
inline constexpr Verb kQuit{"quit", {}, "the process answers, then exits"};

inline constexpr Verb kVerbs[] = {kStatus, kCall, kBulletin, kAppear, kStatusBar, kScreenshot, kQuit};

}  // namespace platform::automation::home_screen
