#include "bench/bench_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace calmora::bench {
using platform::plist::Value;

std::string contactKey(int i) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "6F1C2B7A-3D4E-4A5B-9C8D-%012d", i);
  return buf;
}

Value settingsWithEntries(int entries) {
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::boolean(true));
  d.set("methodspecifier", Value::integer(0));
  d.set("sound", Value::string("1005"));
  d.set("color", Value::string("#E22300"));
  for (int i = 0; i < entries; ++i) {
    auto e = Value::dict();
    e.set("isBlocked", Value::boolean(i % 2 == 0));
    e.set("com.apple.mobilephoneCall", Value::boolean(true));
    e.set("net.whatsapp.WhatsApp", Value::boolean(true));
    for (int day = 1; day <= 7; ++day) {
      e.set("weekday" + std::to_string(day), Value::boolean(true));
      e.set("weekdayHour" + std::to_string(day), Value::string("08:00-17:00"));
    }
    d.set(contactKey(i), std::move(e));
  }
  return d;
}

std::filesystem::path scratchDir(const std::string& name) {
  static std::vector<std::filesystem::path> made;
  auto dir = std::filesystem::temp_directory_path() / ("calmora-bench-" + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  if (made.empty())
    std::atexit([] {
      std::error_code ec;
      for (const auto& d : made) std::filesystem::remove_all(d, ec);
    });
  made.push_back(dir);
  return dir;
}

}  // namespace calmora::bench

namespace {
// Benchmarks that bring up a home screen run headless unless told otherwise.
const bool gHeadless = [] { return ::setenv("QT_QPA_PLATFORM", "offscreen", 0) == 0; }();
}  // namespace
