// clock DIR [--offset SECONDS | --fixed ISO8601 | --advance SECONDS | --reset]:
// sets the device's clock in its description, which every process of the
// device follows at its next reading, and prints the clock.
#include <QDateTime>
#include <QTimeZone>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {

namespace {
namespace plist = platform::plist;
using platform::clock::DeviceClock;

constexpr const char* kClockUsage =
    "usage: simctl clock DIR [--offset SECONDS | --fixed ISO8601 | --advance SECONDS | --reset]\n";

// Seconds as milliseconds; nothing for what is no finite number or lies
// beyond the range the description takes.
std::optional<int64_t> secondsMs(const std::string& text) {
  char* end = nullptr;
  const double s = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !std::isfinite(s) || std::abs(s) >= 1e12) return std::nullopt;
  return static_cast<int64_t>(std::llround(s * 1000.0));
}

// The clock the arguments ask for, from the one set now; why not otherwise.
std::optional<DeviceClock> changed(DeviceClock c, const Args& args, std::string& why) {
  if (args.empty()) return c;
  const std::string& option = args[0];
  if (option == "--reset" && args.size() == 1) {
    // The advances stay: the monotonic clock never goes back.
    return DeviceClock{0, std::nullopt, c.advanceMs};
  }
  if (args.size() != 2) return std::nullopt;
  if (option == "--fixed") {
    const QDateTime at = QDateTime::fromString(QString::fromStdString(args[1]), Qt::ISODateWithMs);
    if (!at.isValid()) {
      why = "--fixed takes an ISO 8601 time (2026-12-07T10:30:00Z), not '" + args[1] + "'";
      return std::nullopt;
    }
    return DeviceClock{0, at.toMSecsSinceEpoch(), c.advanceMs};
  }
  auto ms = secondsMs(args[1]);
  if (!ms) {
    why = option + " takes a number of seconds, not '" + args[1] + "'";
    return std::nullopt;
  }
  if (option == "--offset") return DeviceClock{*ms, std::nullopt, c.advanceMs};
  if (option == "--advance" && *ms > 0) {
    if (c.fixedMs) *c.fixedMs += *ms;
    else c.offsetMs += *ms;
    c.advanceMs += *ms;
    return c;
  }
  if (option == "--advance") why = "--advance takes seconds forward, more than 0";
  return std::nullopt;
}
}  // namespace

int clock(const std::filesystem::path& dirArg, const Args& args) {
  const auto dir = deviceDir(dirArg);
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::fprintf(stderr, "simctl clock: no device at %s\n", dir.c_str());
    return 1;
  }
  const auto file = dir / platform::kDeviceDescriptionFile;
  auto description = plist::readDictionary(file);
  // Written over, an unreadable description would lose what it holds.
  if (description.state == plist::ReadState::Unreadable) {
    std::fprintf(stderr, "simctl clock: %s cannot be read; left as it is\n", file.c_str());
    return 1;
  }
  std::string why;
  const DeviceClock before = platform::deviceClockOf(description.dict.ref());
  auto after = changed(before, args, why);
  if (!after) {
    std::fprintf(stderr, "%s%s", why.empty() ? "" : ("simctl clock: " + why + "\n").c_str(), kClockUsage);
    return 2;
  }
  if (*after != before) {
    platform::setDeviceClock(description.dict, *after);
    if (auto written = plist::writeXmlAtomically(file, description.dict.ref()); !written) {
      std::fprintf(stderr, "simctl clock: cannot write %s: %s\n", file.c_str(), written.error().describe().c_str());
      return 1;
    }
  }
  // What the device's processes read from now on.
  platform::setDeviceRoot(dir);
  QJsonObject out{{"now", QDateTime::fromMSecsSinceEpoch(platform::clock::nowMs(), QTimeZone::utc())
                              .toString(Qt::ISODateWithMs)},
                  {"offset", static_cast<double>(after->offsetMs) / 1000.0},
                  {"advance", static_cast<double>(after->advanceMs) / 1000.0}};
  out.insert("fixed", after->fixedMs ? QJsonValue(QDateTime::fromMSecsSinceEpoch(*after->fixedMs, QTimeZone::utc())
                                                      .toString(Qt::ISODateWithMs))
                                     : QJsonValue());
  printJson(out);
  return 0;
}

}  // namespace simctl
