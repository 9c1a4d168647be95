// A fuzzed log file under a fuzzed run of log operations: whatever the file
// holds, its newest entries read from its end are those a scan finds, an
// append takes the next free key, the counts agree with the file as
// a full parse reads it, every request is answered once, a readable log keeps
// every key it had, and an unreadable one is kept aside byte for byte before
// it is replaced.
#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "common/log_store.h"
#include "common/log_xml.h"
#include "common/names.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/input.h"
#include "hook/log_requests.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
namespace logs = calmora::logs;
namespace sig = calmora::names::signal;
namespace fields = calmora::names::record;
using namespace platform::plist;
using logs::Log;

namespace {

void quiet(std::string_view, void*) {}

// Every input rewrites files with a flush to disk; in memory that is cheap.
fs::path memoryBacked() {
  std::error_code ec;
  return fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

struct Device {
  testsupport::TempDir dir{"calmora-fuzz-logs", memoryBacked()};
  fs::path prefs = dir.path() / "var/mobile/Library/Preferences";
  std::shared_ptr<platform::InProcessCenter> center = std::make_shared<platform::InProcessCenter>();
  std::vector<platform::Notification> posted;

  Device() {
    fs::create_directories(prefs);
    platform::setDeviceRoot(dir.path());
    platform::setLogSink(&quiet, nullptr);
    platform::clock::setTimeZoneForTesting("Europe/Berlin");
    platform::setDefaultCenter(center);
    for (auto name : {sig::kHide, sig::kShow, sig::kUnreadCallCount, sig::kUnreadNotifCount})
      center->addObserver(name, [this](const platform::Notification& n) { posted.push_back(n); });
  }
  std::vector<platform::Notification> take() {
    center->deliverPending();
    return std::exchange(posted, {});
  }
};

int64_t unreadInFile(Log log) {
  int64_t n = 0;
  readDictionary(logs::logPath(log)).dict.ref().forEach([&](std::string_view, Ref v) {
    n += v.isDict() && !v[fields::kIsRead].truthy();
    return true;
  });
  return n;
}

void append(Log log, const std::string& from) {
  auto before = readDictionary(logs::logPath(log));
  // Under the count, or past it where a log with holes holds that key.
  size_t next = before.dict.size();
  while (before.dict[std::to_string(next)]) ++next;
  auto key = log == Log::Calls
                 ? logs::appendCall({"10:30:00 07-12-2026", "Phone Call from " + from, "com.apple.mobilephone", "", from,
                                     "Phone"})
                 : logs::appendNotification({"10:30:00 07-12-2026", "WhatsApp notification from " + from,
                                             "net.whatsapp.WhatsApp", "", "WhatsApp", from, from});
  FUZZ_CHECK(key.ok() && *key == std::to_string(next));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Device device;
  for (const auto& e : fs::directory_iterator(device.prefs)) fs::remove_all(e.path());
  device.take();

  fuzzing::Input in(data, size);
  uint8_t setup = in.byte();
  const Log fuzzed = setup & 1 ? Log::Notifications : Log::Calls;
  int ops = in.byte() % 12 + 1;
  std::string opBytes;
  for (int i = 0; i < ops; ++i) opBytes.push_back(static_cast<char>(in.byte()));
  std::vector<std::string> texts;
  for (int i = 0; i < ops; ++i)
    texts.push_back(in.oneOf({"0", "1", "2", "00", "-1", " 1", "x", "Jane & <Roe>"}).value_or(""));

  const std::string original(in.rest());
  // Read back from its end, a log that scans gives its last entries as the
  // scan found them, whatever its keys.
  if (auto layout = calmora::logs::xml::scan(original, calmora::logs::xml::Form::Plain)) {
    const auto& records = layout->records;
    const size_t count = std::min<size_t>(records.size(), setup >> 4);
    auto newest = calmora::logs::xml::scanNewest(original, count, original.size());
    FUZZ_CHECK(newest && newest->size() == count);
    for (size_t i = 0; i < count; ++i) {
      const auto &got = (*newest)[i], &want = records[records.size() - 1 - i];
      FUZZ_CHECK(got.keyAt == want.keyAt && got.begin == want.begin && got.end == want.end &&
                 got.isDict == want.isDict && got.unread == want.unread && got.falseMark == want.falseMark);
    }
  }
  if (!original.empty() || setup & 2) FUZZ_CHECK(platform::replaceAtomically(logs::logPath(fuzzed), original).ok());
  const auto originalRead = parseDictionary(original);
  // The other log: missing, or one the engine wrote.
  if (setup & 4) append(fuzzed == Log::Calls ? Log::Notifications : Log::Calls, "other");

  for (int i = 0; i < ops; ++i) {
    uint8_t op = static_cast<uint8_t>(opBytes[i]);
    const Log log = op & 1 ? Log::Notifications : Log::Calls;
    const bool calls = log == Log::Calls;
    switch ((op >> 1) % 5) {
      case 0: append(log, texts[i]); break;
      case 1: {
        (calls ? logs::markReadC : logs::markReadN)({"", {{std::string(sig::kKey), texts[i]}}});
        Ref record = readDictionary(logs::logPath(log)).dict[texts[i]];
        FUZZ_CHECK(!record.isDict() || record[fields::kIsRead].truthy());
        break;
      }
      case 2:
        (calls ? logs::markAllReadC : logs::markAllReadN)();
        FUZZ_CHECK(unreadInFile(log) == 0);
        break;
      case 3: FUZZ_CHECK(logs::unreadCount(log) == unreadInFile(log)); break;
      case 4: {
        (calls ? logs::unreadCall : logs::unreadNotif)();
        auto answers = device.take();
        FUZZ_CHECK(answers.size() == 1);
        FUZZ_CHECK(answers[0].userInfo.at(std::string(sig::kBadges)) == std::to_string(unreadInFile(log)));
        break;
      }
    }
    if ((op >> 1) % 5 == 1 || (op >> 1) % 5 == 2) {
      auto answers = device.take();
      FUZZ_CHECK(answers.size() == 1);
      bool allRead = unreadInFile(Log::Calls) + unreadInFile(Log::Notifications) == 0;
      FUZZ_CHECK(allRead == logs::isAllRead());
      FUZZ_CHECK(answers[0].name == (allRead ? sig::kHide : sig::kShow));
    }
  }

  auto now = platform::readFile(logs::logPath(fuzzed));
  if (originalRead.state == ReadState::Ok) {
    auto read = readDictionary(logs::logPath(fuzzed));
    originalRead.dict.ref().forEach([&](std::string_view key, Ref) {
      FUZZ_CHECK(read.dict[key]);
      return true;
    });
  } else if (!original.empty() && (!now.ok() || *now != original)) {
    bool kept = false;
    for (const auto& e : fs::directory_iterator(device.prefs)) {
      auto bytes = platform::readFile(e.path());
      kept = kept || (e.path().filename().string().find(".unreadable-") != std::string::npos && bytes.ok() &&
                      *bytes == original);
    }
    FUZZ_CHECK(kept);
  }
  return 0;
}
