// Verbs that act on a running home-screen process: deliver calls and
// bulletins, bring the home screen into view, take a screenshot. Their
// options and requests come from the home screen's verb table.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/foundation/qt_text.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace {

namespace automation = platform::automation;
namespace home_screen = platform::automation::home_screen;
using automation::Type;


std::string usage(const automation::Verb& verb) {
  std::string line = "  simctl " + std::string(verb.name) + " DIR";
  for (const automation::Argument& a : verb.arguments) {
    if (a.option.empty()) continue;
    std::string spelled(a.option);
    if (a.type != Type::Bool) spelled += a.type == Type::Number ? " N" : " TEXT";
    line += a.need == automation::Need::Required ? " " + spelled : " [" + spelled + "]";
  }
  return line + "\n      " + std::string(verb.help) + "\n";
}

}  // namespace

std::optional<QJsonObject> build(const automation::Verb& verb, const Args& args, const std::string& usageText) {
  QJsonObject request{{"verb", platform::toQString(verb.name)}};
  auto refuse = [&](const std::string& why) {
    std::fprintf(stderr, "simctl: %s\nusage:\n%s", why.c_str(),
                 usageText.empty() ? usage(verb).c_str() : usageText.c_str());
    return std::nullopt;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    auto arg = std::find_if(verb.arguments.begin(), verb.arguments.end(),
                            [&](const automation::Argument& a) { return !a.option.empty() && a.option == args[i]; });
    if (arg == verb.arguments.end()) {
      // A word that is no option fills the next text argument without one.
      auto positional = std::find_if(verb.arguments.begin(), verb.arguments.end(), [&](const automation::Argument& a) {
        return a.option.empty() && a.type == Type::String && !request.contains(platform::toQString(a.key));
      });
      if (positional == verb.arguments.end() || args[i].rfind("--", 0) == 0)
        return refuse("unexpected argument '" + args[i] + "'");
      request[platform::toQString(positional->key)] = QString::fromStdString(args[i]);
      continue;
    }
    if (arg == verb.arguments.end() || (arg->type != Type::Bool && i + 1 == args.size()))
      return refuse("unexpected argument '" + args[i] + "'");
    const QString key = platform::toQString(arg->key);
    if (arg->type == Type::Bool) {
      request[key] = arg->flagValue;
    } else if (arg->type == Type::String) {
      request[key] = QString::fromStdString(args[++i]);
    } else {
      const std::string& value = args[++i];
      char* end = nullptr;
      double number = std::strtod(value.c_str(), &end);
      if (value.empty() || *end || !std::isfinite(number)) return refuse(std::string(arg->option) + " takes a number, not '" + value + "'");
      request[key] = number;
    }
  }
  for (const automation::Argument& a : verb.arguments)
    if (a.need == automation::Need::Required && !request.contains(platform::toQString(a.key)))
      return refuse(std::string(verb.name) + " needs " + (a.option.empty() ? std::string(a.key) : std::string(a.option)));
  return request;
}

namespace {

int send(const std::filesystem::path& dirArg, const QJsonObject& request) {
  auto reply = ask(deviceDir(dirArg), request);
  if (!reply) {
    reportFailure(reply.failure);
    return 1;
  }
  printJson(*reply.answer);
  return reply.answer->contains("error") ? 1 : 0;
}

int deliver(const automation::Verb& verb, const std::filesystem::path& dir, const Args& args) {
  auto request = build(verb, args);
  return request ? send(dir, *request) : 2;
}

}  // namespace

std::string eventVerbsUsage() {
  std::string text;
  for (const auto* verb : {&home_screen::kCall, &home_screen::kAnswer, &home_screen::kDecline, &home_screen::kEnd,
                           &home_screen::kBulletin, &home_screen::kNotifications, &home_screen::kAppear, &home_screen::kHome}) text += usage(*verb);
  return text + "  simctl screenshot DIR FILE.png\n      " + std::string(automation::ui::kScreenshot.help) + "\n";
}

int call(const std::filesystem::path& dir, const Args& args) { return deliver(home_screen::kCall, dir, args); }

int answer(const std::filesystem::path& dir, const Args& args) { return deliver(home_screen::kAnswer, dir, args); }
int decline(const std::filesystem::path& dir, const Args& args) { return deliver(home_screen::kDecline, dir, args); }
int end(const std::filesystem::path& dir, const Args& args) { return deliver(home_screen::kEnd, dir, args); }
int notifications(const std::filesystem::path& dir, const Args& args) {
  return deliver(home_screen::kNotifications, dir, args);
}

int bulletin(const std::filesystem::path& dir, const Args& args) { return deliver(home_screen::kBulletin, dir, args); }

int appear(const std::filesystem::path& dir, const Args& args) { return deliver(home_screen::kAppear, dir, args); }

int home(const std::filesystem::path& dir, const Args& args) { return deliver(home_screen::kHome, dir, args); }

int screenshot(const std::filesystem::path& dir, const Args& args) {
  if (args.size() != 1 || args[0].empty()) {
    std::fprintf(stderr, "%susage: simctl screenshot DIR FILE.png\n",
                 args.size() == 1 ? "simctl screenshot: the file name is empty\n" : "");
    return 2;
  }
  auto file = std::filesystem::absolute(args[0]);
  return send(dir, requestOf(automation::ui::kScreenshot, {{"path", QString::fromStdString(file.string())}}));
}

}  // namespace simctl
