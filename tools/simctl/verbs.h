// The verbs of simctl. Each takes the device folder and the arguments after
// it, prints its result on standard output and returns the exit status.
#pragma once

#include <QCoreApplication>
#include <QJsonObject>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/verbs.h"

namespace simctl {

using Args = std::vector<std::string>;

// The verbs need an event loop; main() does not make one for every verb.
class AppScope {
 public:
  AppScope() {
    if (!QCoreApplication::instance()) owned_ = std::make_unique<QCoreApplication>(argc_, argv_);
  }

 private:
  static inline int argc_ = 1;
  static inline char arg0_[] = "simctl";
  static inline char* argv_[] = {arg0_, nullptr};
  std::unique_ptr<QCoreApplication> owned_;
};


int boot(const std::filesystem::path& dir, const Args& args);
int shutdown(const std::filesystem::path& dir, const Args& args);
int status(const std::filesystem::path& dir, const Args& args);
int post(const std::filesystem::path& dir, const Args& args);
int listen(const std::filesystem::path& dir, const Args& args);
int respring(const std::filesystem::path& dir, const Args& args);
int call(const std::filesystem::path& dir, const Args& args);
int answer(const std::filesystem::path& dir, const Args& args);
int decline(const std::filesystem::path& dir, const Args& args);
int end(const std::filesystem::path& dir, const Args& args);
int notifications(const std::filesystem::path& dir, const Args& args);
int bulletin(const std::filesystem::path& dir, const Args& args);
int appear(const std::filesystem::path& dir, const Args& args);
int home(const std::filesystem::path& dir, const Args& args);
int screenshot(const std::filesystem::path& dir, const Args& args);
int logs(const std::filesystem::path& dir, const Args& args);

int install(const std::filesystem::path& dir, const Args& args);
int launch(const std::filesystem::path& dir, const Args& args);
int terminate(const std::filesystem::path& dir, const Args& args);
int apps(const std::filesystem::path& dir, const Args& args);
int ui(const std::filesystem::path& dir, const Args& args);
// auth DIR BUNDLE_ID ANSWER: the ui verb auth, answering the app's prompt.
int auth(const std::filesystem::path& dir, const Args& args);
int appearance(const std::filesystem::path& dir, const Args& args);
// clock DIR [--offset SECONDS | --fixed ISO8601 | --advance SECONDS | --reset]
int clock(const std::filesystem::path& dir, const Args& args);
// silent DIR on|off: the side switch; on mutes the device's sounds.
int silent(const std::filesystem::path& dir, const Args& args);
// open DIR: the device window on the desktop ($DISPLAY).
int open(const std::filesystem::path& dir, const Args& args);
// serve DIR [--port N] [--bind ADDR] | serve DIR --stop: the device in a browser.
int serve(const std::filesystem::path& dir, const Args& args);
inline constexpr std::string_view kServeProgram = "device-serve";

// contacts DIR list|add|delete: the address book, JSON in and out.
int contactsVerb(const std::filesystem::path& dir, const Args& args);

// The usage lines of call, bulletin, appear, home and screenshot.
std::string eventVerbsUsage();
// The usage lines of launch, terminate, apps, install, ui and appearance.
std::string appVerbsUsage();

// The request of `verb` from its command-line words: options from the
// table, and words without an option for its text arguments that have none,
// in order. Nothing, after a line on standard error, for an unknown option,
// a missing value or a missing required argument, with `usageText` (by
// default the verb's line as a home-screen verb).
std::optional<QJsonObject> build(const platform::automation::Verb& verb, const Args& args,
                                 const std::string& usageText = {});

}  // namespace simctl
