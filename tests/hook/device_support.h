// The hook tests' fixture, a whole home screen in the test process (see
// tests/support/device.h) with the settings file written as XML, and the
// builders and readers they share: settings entries, vCard address books,
// the records of the two logs.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/names.h"
#include "hook/decision_inputs.h"
#include "hook/messaging_apps.h"
#include "hook/settings_snapshot.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist.h"
#include "tests/support/device.h"
#include "tests/support/log_capture.h"

namespace calmora::testing {

using LogCapture = testsupport::LogCapture;

class HookDevice : public ::testing::Test, protected testsupport::Device {
 protected:
  using Device::boot;  // with whatever settings file there is
  // Writes the settings file, then starts the home screen and loads the
  // library, which reads it.
  void boot(const platform::plist::Value& settings) {
    writeSettings(settings);
    boot();
  }
  void writeSettings(const platform::plist::Value& settings) {
    writeFile(names::kSettingsPath, platform::plist::toXml(settings.ref()));
  }
  void writeFile(std::string_view phonePath, std::string_view bytes) {
    ASSERT_TRUE(Device::writeFile(phonePath, bytes)) << phonePath;
  }
};

using platform::plist::Value;

// The load-time half of a decision, as a test sets it.
struct Loaded {
  SettingsSnapshot snapshot;
  std::vector<std::string> messagingApps = buildMessagingApps();
  DecisionInputs inputs() const { return DecisionInputs{snapshot, messagingApps, platform::clock::nowMs()}; }
};

// The settings file as it is on the device now.
inline SettingsContent settingsNow() {
  return settingsContentOf(platform::plist::readDictionary(platform::devicePath(names::kSettingsPath)).dict);
}

// A contact entry of the settings file.
// Copyable, so that a test can list entries in braces.
struct Entry {
  Value value = Value::dict();

  Entry() = default;
  Entry(const Entry& other) : value(other.value.ref().copy()) {}

  Entry& blocked(bool on = true) {
    value.set(names::settings::kIsBlocked, Value::boolean(on));
    return *this;
  }
  Entry& on(std::string_view flagKey, bool isOn = true) {
    value.set(flagKey, Value::boolean(isOn));
    return *this;
  }
};

inline Value settingsFile(int mode, bool ignoreTime, std::vector<std::pair<std::string, Entry>> entries) {
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::boolean(true));
  d.set("methodspecifier", Value::integer(mode));
  d.set("ignoretime", Value::boolean(ignoreTime));
  d.set("sound", Value::string("1005"));
  for (auto& [key, entry] : entries) d.set(key, std::move(entry.value));
  return d;
}

struct Card {
  std::string uid;  // empty: no UID line
  std::string given, family;
  std::vector<std::string> phones;
};

// vCard 3.0 as an address-book program exports it.
inline std::string vcards(const std::vector<Card>& cards) {
  std::string out;
  for (const auto& c : cards) {
    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    out += "N:" + c.family + ";" + c.given + ";;;\r\n";
    out += "FN:" + c.given + (c.given.empty() || c.family.empty() ? "" : " ") + c.family + "\r\n";
    if (!c.uid.empty()) out += "UID:" + c.uid + "\r\n";
    for (const auto& p : c.phones) out += "TEL;type=CELL:" + p + "\r\n";
    out += "END:VCARD\r\n";
  }
  return out;
}

// The records of a log in key order, each field as text ("isRead" as
// "true" or "false"); a key missing from the dense run ends the list.
using LogRecord = std::map<std::string, std::string>;
inline std::vector<LogRecord> readLog(std::string_view phonePath) {
  auto log = platform::plist::readDictionary(platform::devicePath(phonePath)).dict;
  std::vector<LogRecord> out;
  for (size_t i = 0;; ++i) {
    auto rec = log[std::to_string(i)];
    if (!rec.isDict()) break;
    LogRecord r;
    rec.forEach([&](std::string_view field, platform::plist::Ref v) {
      r[std::string(field)] = v.type() == platform::plist::Type::Bool ? (v.truthy() ? "true" : "false")
                                                                        : v.text().value_or("<not text>");
      return true;
    });
    out.push_back(std::move(r));
  }
  return out;
}

// The signals an interception posts, in order, out of everything posted.
inline std::vector<std::string> interceptionSignals(std::vector<std::string> posted) {
  namespace sig = names::signal;
  std::erase_if(posted, [](const std::string& n) {
    return n != sig::kShow && n != sig::kUnreadCall && n != sig::kUnreadNotif && n != sig::kTableRefresh;
  });
  return posted;
}

}  // namespace calmora::testing
