// Verbs that act on a running home-screen process: deliver calls and
// bulletins, bring the home screen into view, take a screenshot.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/springboard/control.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace {

// Options of the form --name VALUE or --flag; unknown ones are refused.
struct Options {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
};

std::optional<Options> parse(const Args& args, const std::set<std::string>& valued,
                             const std::set<std::string>& flags) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (flags.count(a)) {
      o.flags.insert(a);
    } else if (valued.count(a) && i + 1 < args.size()) {
      o.values[a] = args[++i];
    } else {
      std::fprintf(stderr, "simctl: unexpected argument '%s'\n", a.c_str());
      return std::nullopt;
    }
  }
  return o;
}

int request(const std::filesystem::path& dirArg, const QJsonObject& req) {
  auto answer = host::controlRequest(deviceDir(dirArg), req);
  if (!answer) {
    std::fprintf(stderr, "simctl: the device is not running (simctl boot DIR)\n");
    return 1;
  }
  printJson(*answer);
  return answer->contains("error") ? 1 : 0;
}

QJsonValue text(const Options& o, const std::string& key) {
  auto it = o.values.find(key);
  return it == o.values.end() ? QJsonValue(QJsonValue::Undefined) : QJsonValue(QString::fromStdString(it->second));
}

}  // namespace

int call(const std::filesystem::path& dir, const Args& args) {
  auto o = parse(args, {"--name", "--contact", "--provider", "--provider-bundle", "--status", "--via"},
                 {"--outgoing"});
  if (!o) return 2;
  QJsonObject req{{"verb", "call"}, {"incoming", !o->flags.count("--outgoing")}};
  for (auto [opt, key] : {std::pair{"--name", "name"}, {"--contact", "contact"}, {"--provider", "provider"},
                          {"--provider-bundle", "providerBundle"}, {"--via", "via"}})
    if (auto v = text(*o, opt); !v.isUndefined()) req[key] = v;
  if (o->values.count("--status")) req["status"] = std::atoll(o->values["--status"].c_str());
  return request(dir, req);
}

int bulletin(const std::filesystem::path& dir, const Args& args) {
  auto o = parse(args, {"--section", "--title", "--subtitle", "--message", "--age"}, {"--no-date"});
  if (!o) return 2;
  QJsonObject req{{"verb", "bulletin"}, {"noDate", o->flags.count("--no-date") > 0}};
  for (auto [opt, key] : {std::pair{"--section", "section"}, {"--title", "title"}, {"--subtitle", "subtitle"},
                          {"--message", "message"}})
    if (auto v = text(*o, opt); !v.isUndefined()) req[key] = v;
  if (o->values.count("--age")) req["age"] = std::atof(o->values["--age"].c_str());
  return request(dir, req);
}

int appear(const std::filesystem::path& dir, const Args&) { return request(dir, QJsonObject{{"verb", "appear"}}); }

int screenshot(const std::filesystem::path& dir, const Args& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: simctl screenshot DIR FILE.png\n");
    return 2;
  }
  auto file = std::filesystem::absolute(args[0]);
  return request(dir, QJsonObject{{"verb", "screenshot"}, {"path", QString::fromStdString(file.string())}});
}

}  // namespace simctl
