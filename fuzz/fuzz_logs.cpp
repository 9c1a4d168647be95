// A fuzzed log file under every log operation, held against a plain model
// of what each operation does to the parsed dictionary: whatever the file
// holds, the engine's own quick path and its full parse end in the model's
// log, an unreadable log is kept aside before it is replaced, and every
// request is answered once.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "common/names.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/input.h"
#include "fuzz/plist_walk.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"

namespace fs = std::filesystem;
namespace logs = calmora::logs;
namespace sig = calmora::names::signal;
namespace fields = calmora::names::record;
using namespace platform::plist;
using logs::Log;

namespace {

void quiet(std::string_view, void*) {}

struct Device {
  fs::path prefs;
  std::shared_ptr<platform::InProcessCenter> center = std::make_shared<platform::InProcessCenter>();
  std::vector<platform::Notification> posted;

  Device() {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path root = base / ("calmora-fuzz-logs-" + std::to_string(::getpid()));
    prefs = root / "var/mobile/Library/Preferences";
    fs::create_directories(prefs);
    static fs::path folder = root;
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    });
    platform::setDeviceRoot(root);
    platform::setLogSink(&quiet, nullptr);
    platform::clock::setTimeZoneForTesting("Europe/Berlin");
    platform::clock::setNowForTesting(int64_t{1796635800} * 1000);
    platform::setDefaultCenter(center);
    for (auto name : {sig::kHide, sig::kShow, sig::kUnreadCallCount, sig::kUnreadNotifCount})
      center->addObserver(name, [this](const platform::Notification& n) { posted.push_back(n); });
  }
  std::vector<platform::Notification> take() {
    center->deliverPending();
    return std::exchange(posted, {});
  }
};

// What the engine should make of one log.
struct Model {
  Log log;
  Value dict = Value::dict();
  bool unreadable = false;  // the file on disk is not (yet) the model's
  std::string original;     // its bytes, to be found aside once replaced

  size_t unread() const {
    size_t n = 0;
    dict.ref().forEach([&](std::string_view, Ref v) {
      n += v.isDict() && !v[fields::kIsRead].truthy();
      return true;
    });
    return n;
  }
  void wrote() { unreadable = false; }
  void check() const {
    if (unreadable) return;
    auto read = readDictionary(logs::logPath(log));
    FUZZ_CHECK(read.state != ReadState::Unreadable);
    FUZZ_CHECK(fuzzing::sameTree(read.dict.ref(), dict.ref(), false));
  }
};

// Appends through the store and to the model, whose record holds the
// fields in the order the log keeps them.
void append(Model& m, const std::string& from) {
  const bool calls = m.log == Log::Calls;
  const std::string date = "10:30:00 07-12-2026", data = "Phone Call from " + from, bid = "com.apple.mobilephone",
                    icon = "iVBORw0KGgo=", app = calls ? "Phone" : "WhatsApp";
  auto key = calls ? logs::appendCall({date, data, bid, icon, from, app})
                   : logs::appendNotification({date, data, bid, icon, app, from, from});
  // Under the count, or past it where a log with holes holds that key.
  size_t next = m.dict.size();
  while (m.dict[std::to_string(next)]) ++next;
  FUZZ_CHECK(key.ok() && *key == std::to_string(next));
  auto d = Value::dict();
  auto text = [&](std::string_view name, const std::string& value) { d.set(name, Value::string(value)); };
  text(fields::kDate, date);
  d.set(fields::kIsRead, Value::boolean(false));
  text(fields::kData, data);
  text(fields::kAppBID, bid);
  text(fields::kIconData, icon);
  if (!calls) text(fields::kAppName, app), text(fields::kMsg, from);
  text(fields::kFrom, from);
  if (calls) text(fields::kAppName, app);
  m.dict.set(*key, std::move(d));
  m.wrote();
}

void markRead(Model& m, const std::string& key) {
  (m.log == Log::Calls ? logs::markReadC : logs::markReadN)({"", {{std::string(sig::kKey), key}}});
  Ref record = m.dict[key];
  if (record.isDict() && !record[fields::kIsRead].truthy()) {
    setItem(record, fields::kIsRead, Value::boolean(true));
    m.wrote();
  }
}

void markAll(Model& m) {
  (m.log == Log::Calls ? logs::markAllReadC : logs::markAllReadN)();
  bool changed = false;
  m.dict.ref().forEach([&](std::string_view, Ref v) {
    if (v.isDict() && !v[fields::kIsRead].truthy()) {
      setItem(v, fields::kIsRead, Value::boolean(true));
      changed = true;
    }
    return true;
  });
  if (changed) m.wrote();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Device device;
  for (const auto& e : fs::directory_iterator(device.prefs)) fs::remove_all(e.path());
  device.take();

  fuzzing::Input in(data, size);
  uint8_t setup = in.byte();
  Model models[2] = {{Log::Calls}, {Log::Notifications}};
  Model& fuzzed = models[setup & 1];
  Model& other = models[1 - (setup & 1)];
  int ops = in.byte() % 12 + 1;
  std::string opBytes;
  for (int i = 0; i < ops; ++i) opBytes.push_back(static_cast<char>(in.byte()));
  std::vector<std::optional<std::string>> texts;
  for (int i = 0; i < ops; ++i) texts.push_back(in.oneOf({"0", "1", "2", "00", "-1", " 1", "x", "Jane & <Roe>"}));

  std::string_view file = in.rest();
  if (!file.empty() || setup & 2) {
    fuzzed.original = std::string(file);
    platform::replaceAtomically(logs::logPath(fuzzed.log), file);
    auto read = parseDictionary(file);
    fuzzed.dict = std::move(read.dict);
    fuzzed.unreadable = read.state == ReadState::Unreadable;
  }
  // The other log: missing, or one the engine wrote.
  if (setup & 4) append(other, "other");

  for (int i = 0; i < ops; ++i) {
    uint8_t op = static_cast<uint8_t>(opBytes[i]);
    Model& m = models[op & 1];
    std::string text = texts[i].value_or("");
    bool posts = false;
    switch ((op >> 1) % 6) {
      case 0: append(m, text); break;
      case 1: markRead(m, text), posts = true; break;
      case 2: markAll(m), posts = true; break;
      case 3: {
        (m.log == Log::Calls ? logs::unreadCall : logs::unreadNotif)();
        auto answers = device.take();
        FUZZ_CHECK(answers.size() == 1);
        FUZZ_CHECK(answers[0].userInfo.at(std::string(sig::kBadges)) == std::to_string(m.unread()));
        break;
      }
      case 4: FUZZ_CHECK(logs::unreadCount(m.log) == static_cast<int64_t>(m.unread())); break;
      case 5: FUZZ_CHECK(logs::isAllRead() == (models[0].unread() + models[1].unread() == 0)); break;
    }
    if (posts) {
      auto answers = device.take();
      FUZZ_CHECK(answers.size() == 1);
      bool allRead = models[0].unread() + models[1].unread() == 0;
      FUZZ_CHECK(answers[0].name == (allRead ? sig::kHide : sig::kShow));
    }
    for (const auto& model : models) model.check();
  }

  // A log that could not be read was kept aside, byte for byte, before the
  // first write replaced it.
  if (!fuzzed.unreadable && !fuzzed.original.empty() && parseDictionary(fuzzed.original).state == ReadState::Unreadable) {
    bool kept = false;
    for (const auto& e : fs::directory_iterator(device.prefs)) {
      auto bytes = platform::readFile(e.path());
      kept = kept || (e.path().filename().string().find(".unreadable-") != std::string::npos && bytes.ok() &&
                      *bytes == fuzzed.original);
    }
    FUZZ_CHECK(kept);
  }
  return 0;
}
