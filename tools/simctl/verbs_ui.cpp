// simctl ui DIR BUNDLE_ID VERB ARGS...: the user-interface verbs of an app,
// or of the home screen (com.apple.springboard), built from their table.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/apps/app_registry.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/ui_verbs.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace {

namespace automation = platform::automation;
namespace ui = platform::automation::ui;

constexpr std::string_view kHomeScreen = "com.apple.springboard";

std::string uiUsage(const automation::Verb& verb) {
  std::string line = "  simctl ui DIR BUNDLE_ID " + std::string(verb.name);
  if (verb.name == ui::kTap.name) {
    line += " TEXT | --id ID | --row N [--section S] | --at X Y";
  } else {
    for (const automation::Argument& a : verb.arguments) {
      std::string spelled = a.option.empty() ? (verb.name == ui::kScreenshot.name ? "FILE.png" : "TEXT")
                            : a.type == automation::Type::Bool ? std::string(a.option)
                                             : std::string(a.option) + (a.type == automation::Type::Number ? " N" : " TEXT");
      line += a.need == automation::Need::Required ? " " + spelled : " [" + spelled + "]";
    }
  }
  return line + "\n      " + std::string(verb.help) + "\n";
}

bool number(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && !*end && std::isfinite(out);
}

// The request of a ui verb; `--at X Y` gives tap its point.
std::optional<QJsonObject> request(const automation::Verb& verb, Args args) {
  double x = 0, y = 0;
  bool point = false;
  for (size_t i = 0; verb.name == ui::kTap.name && i < args.size(); ++i) {
    if (args[i] != "--at") continue;
    if (i + 2 >= args.size() || !number(args[i + 1], x) || !number(args[i + 2], y)) {
      std::fprintf(stderr, "simctl: --at takes two numbers\nusage:\n%s", uiUsage(verb).c_str());
      return std::nullopt;
    }
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 3);
    point = true;
    break;
  }
  auto built = build(verb, args, uiUsage(verb));
  if (!built) return std::nullopt;
  if (point) {
    (*built)["x"] = x;
    (*built)["y"] = y;
  }
  if (verb.name == ui::kScreenshot.name) {
    const std::string path = built->value("path").toString().toStdString();
    if (path.empty()) {
      std::fprintf(stderr, "simctl ui: the file name is empty\nusage:\n%s", uiUsage(verb).c_str());
      return std::nullopt;
    }
    (*built)["path"] = QString::fromStdString(std::filesystem::absolute(path).string());
  }
  return built;
}

}  // namespace

std::string appVerbsUsage() {
  namespace home_screen = automation::home_screen;
  std::string text = "  simctl install DIR PATH.app\n      copies a built app bundle into the device's Applications folder\n";
  for (const automation::Verb* verb : {&home_screen::kLaunch, &home_screen::kTerminate})
    text += "  simctl " + std::string(verb->name) + " DIR BUNDLE_ID\n      " + std::string(verb->help) + "\n";
  text += "  simctl auth DIR BUNDLE_ID success|CODE\n      " + std::string(ui::kAuth.help) + "\n";
  text += "  simctl apps DIR\n      " + std::string(home_screen::kApps.help) + "\n" +
          "  simctl appearance DIR light|dark\n      sets the device's interface style\n" +
          "  simctl silent DIR on|off\n      the side switch: on mutes the device's sounds\n";
  for (const automation::Verb& verb : ui::kVerbs) text += uiUsage(verb);
  return text;
}

int ui(const std::filesystem::path& dirArg, const Args& args) {
  const automation::Verb* verb = args.size() >= 2 ? automation::findVerb(ui::kVerbs, args[1]) : nullptr;
  if (!verb || !platform::apps::isValidBundleIdentifier(args[0])) {
    std::fprintf(stderr, "usage:\n%s", appVerbsUsage().c_str());
    return 2;
  }
  auto built = request(*verb, Args(args.begin() + 2, args.end()));
  if (!built) return 2;
  const auto dir = deviceDir(dirArg);
  const auto socket = automation::socketFile(
      dir, args[0] == kHomeScreen ? std::string(automation::home_screen::kProcess) : ui::socketName(args[0]));
  // A wait is answered when its own time is up, so the request waits longer.
  int limit = timeoutMs();
  if (verb->name == ui::kWait.name)
    limit += static_cast<int>(
        std::clamp(built->value("timeout").toDouble(ui::kDefaultWaitSeconds), 0.0, ui::kMaxWaitSeconds) * 1000);
  auto reply = automation::request(socket, *built, limit);
  if (!reply) {
    if (reply.failure == automation::Failure::NotRunning)
      std::fprintf(stderr, "simctl ui: %s is not running (simctl launch DIR %s)\n", args[0].c_str(), args[0].c_str());
    else
      reportFailure(reply.failure, args[0] == kHomeScreen ? "the home-screen process" : args[0]);
    return 1;
  }
  printJson(*reply.answer);
  if (reply.answer->contains("error")) return 1;
  return verb->name == ui::kWait.name && !reply.answer->value("found").toBool() ? 1 : 0;
}

int auth(const std::filesystem::path& dir, const Args& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: simctl auth DIR BUNDLE_ID success|CODE\n");
    return 2;
  }
  return simctl::ui(dir, {args[0], std::string(ui::kAuth.name), args[1]});
}

}  // namespace simctl
