#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <chrono>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "common/names.h"
#include "hook/log_xml.h"
#include "hook/logs.h"
#include "platform/apps/image.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/log.h"
#include "tests/hook/device_support.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using logs::Log;
using platform::plist::Ref;
using platform::plist::Type;
using platform::plist::Value;
using namespace std::chrono_literals;

const std::vector<std::string> kCallFields = {"Date", "isRead", "Data", "appBID", "iconData", "From", "appName"};
const std::vector<std::string> kNotifFields = {"Date",     "isRead",  "Data", "appBID",
                                               "iconData", "appName", "msg",  "From"};

logs::CallRecord call(const std::string& from, std::string icon = "iVBORw0KGgoAAAANSUhEUgAAAHgAAAB4CAYAAAA5ZDbS") {
  logs::CallRecord r;
  r.date = logs::currentDateText();
  r.data = "Phone Call from " + from;
  r.appBID = "com.apple.mobilephone";
  r.iconData = std::move(icon);
  r.from = from;
  r.appName = "Phone";
  return r;
}

logs::NotificationRecord notification(const std::string& from) {
  logs::NotificationRecord r;
  r.date = logs::currentDateText();
  r.data = "WhatsApp notification from " + from;
  r.appBID = "net.whatsapp.WhatsApp";
  r.iconData = "iVBORw0KGgo=";
  r.appName = "WhatsApp";
  r.msg = "see you";
  r.from = from;
  return r;
}

platform::plist::ReadResult readLog(Log log) { return platform::plist::readDictionary(logs::logPath(log)); }

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

platform::Notification markRequest(Log log, std::optional<std::string> key) {
  platform::Notification n;
  n.name = std::string(log == Log::Calls ? names::signal::kMarkReadC : names::signal::kMarkReadN);
  if (key) n.userInfo[std::string(names::signal::kKey)] = *key;
  return n;
}

// Keys "0" to count - 1 and nothing else.
void expectDense(Ref dict) {
  auto keys = dict.keys();
  std::set<std::string> have(keys.begin(), keys.end());
  EXPECT_EQ(have.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_TRUE(have.count(std::to_string(i))) << "key " << i << " missing";
}

void expectRecordShape(Ref record, const std::vector<std::string>& fields) {
  ASSERT_TRUE(record.isDict());
  EXPECT_EQ(record.keys(), fields);
  for (const auto& f : fields)
    EXPECT_EQ(record[f].type(), f == "isRead" ? Type::Bool : Type::String) << f;
}

class LogCapture {
 public:
  LogCapture() { platform::setLogSink(&LogCapture::sink, this); }
  ~LogCapture() { platform::setLogSink(nullptr, nullptr); }
  bool has(std::string_view prefix) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
  }
  std::vector<std::string> lines;

 private:
  static void sink(std::string_view line, void* self) { static_cast<LogCapture*>(self)->lines.emplace_back(line); }
};

class Logs : public testing::HookDevice {
 protected:
  void SetUp() override {
    HookDevice::SetUp();
    for (auto name : {names::signal::kUnreadCallCount, names::signal::kUnreadNotifCount})
      center().addObserver(name, [this](const platform::Notification& n) { badges[n.name] = n.userInfo; });
  }
  void emptyAsTheAppDoes(Log log) {
    auto lock = platform::ExclusiveFileLock::acquire(logs::lockPath(log));
    ASSERT_TRUE(lock.has_value());
    ASSERT_FALSE(platform::plist::writeXmlAtomically(logs::logPath(log), Value::dict().ref()));
  }
  std::map<std::string, platform::UserInfo> badges;
};

TEST_F(Logs, TheDateIsLocalTimeInTheDeviceZone) {
  setNow(localMs(2026, 12, 7, 10, 30, 5));
  EXPECT_EQ(logs::currentDateText(), "10:30:05 07-12-2026");
  platform::clock::setTimeZoneForTesting("America/New_York");
  EXPECT_EQ(logs::currentDateText(), "04:30:05 07-12-2026");
  setNow(localMs(2027, 1, 2, 3, 4, 5));
  EXPECT_EQ(logs::currentDateText(), "03:04:05 02-01-2027");
}

TEST_F(Logs, AFirstBlockedCallMakesKeyZeroWithAllSevenFieldsUnread) {
  EXPECT_EQ(logs::blockedCallsCount(), 0);
  EXPECT_EQ(logs::appendCall(call("Alice")), "0");
  auto log = readLog(Log::Calls);
  ASSERT_EQ(log.state, platform::plist::ReadState::Ok);
  EXPECT_EQ(log.dict.ref().keys(), std::vector<std::string>{"0"});
  Ref r = log.dict["0"];
  expectRecordShape(r, kCallFields);
  EXPECT_FALSE(r["isRead"].truthy());
  EXPECT_EQ(r["Date"].text(), "10:30:00 07-12-2026");
  EXPECT_EQ(r["Data"].text(), "Phone Call from Alice");
  EXPECT_EQ(logs::blockedCallsCount(), 1);
}

TEST_F(Logs, ValuesThatCannotBeProducedAreWrittenAsEmptyText) {
  logs::CallRecord bare;
  bare.date = logs::currentDateText();
  EXPECT_EQ(logs::appendCall(bare), "0");
  logs::NotificationRecord none;
  EXPECT_EQ(logs::appendNotification(none), "0");
  EXPECT_EQ(logs::appendNotification(notification("Bob")), "1");
  auto calls = readLog(Log::Calls);
  expectRecordShape(calls.dict["0"], kCallFields);
  EXPECT_EQ(calls.dict["0"]["iconData"].text(), "");
  EXPECT_EQ(calls.dict["0"]["appBID"].text(), "");
  auto notifs = readLog(Log::Notifications);
  expectRecordShape(notifs.dict["0"], kNotifFields);
  expectRecordShape(notifs.dict["1"], kNotifFields);
  EXPECT_EQ(notifs.dict["0"]["Date"].text(), "");
  EXPECT_EQ(notifs.dict["1"]["msg"].text(), "see you");
}

TEST_F(Logs, KeysStayDenseAndStartAgainAfterTheAppEmptiesTheLog) {
  EXPECT_EQ(logs::appendCall(call("a")), "0");
  EXPECT_EQ(logs::appendCall(call("b")), "1");
  // The documented sequence of the call path: count, then save under it.
  logs::saveBlockedCall(std::to_string(logs::blockedCallsCount()), call("c"));
  EXPECT_EQ(logs::appendCall(call("d")), "3");
  auto log = readLog(Log::Calls);
  expectDense(log.dict.ref());
  EXPECT_EQ(log.dict["2"]["From"].text(), "c");
  EXPECT_EQ(log.dict["3"]["From"].text(), "d");
  // Saving under an existing key replaces that record.
  logs::saveBlockedCall("1", call("b2"));
  EXPECT_EQ(readLog(Log::Calls).dict["1"]["From"].text(), "b2");
  EXPECT_EQ(logs::blockedCallsCount(), 4);

  emptyAsTheAppDoes(Log::Calls);
  EXPECT_EQ(logs::blockedCallsCount(), 0);
  EXPECT_EQ(logs::appendCall(call("e")), "0");
  EXPECT_EQ(readLog(Log::Calls).dict.ref().keys(), std::vector<std::string>{"0"});
}

TEST_F(Logs, MarkingOneRecordChangesOnlyItAndShowsTheMarkerWhileAnythingIsUnread) {
  for (int i = 0; i < 5; ++i) logs::appendCall(call("c" + std::to_string(i)));
  auto before = readLog(Log::Calls);
  takePosted();
  LogCapture lines;
  logs::markReadC(markRequest(Log::Calls, "4"));
  EXPECT_EQ(takePosted(), std::vector<std::string>{std::string(names::signal::kShow)});
  EXPECT_TRUE(lines.has("CalmoraDebug markReadC:-4.."));
  EXPECT_TRUE(lines.has("CalmoraDebug isAllRead::NOO"));
  auto after = readLog(Log::Calls);
  EXPECT_TRUE(after.dict["4"]["isRead"].truthy());
  expectRecordShape(after.dict["4"], kCallFields);
  for (int i = 0; i < 4; ++i) {
    std::string k = std::to_string(i);
    EXPECT_EQ(platform::plist::toXml(after.dict[k]), platform::plist::toXml(before.dict[k])) << k;
  }
  for (auto key : {"0", "1", "2"}) logs::markReadC(markRequest(Log::Calls, key));
  takePosted();
  // An unread notification keeps the marker on.
  logs::appendNotification(notification("n"));
  logs::markReadC(markRequest(Log::Calls, "3"));
  EXPECT_EQ(takePosted(), std::vector<std::string>{std::string(names::signal::kShow)});
  logs::markReadN(markRequest(Log::Notifications, "0"));
  EXPECT_EQ(takePosted(), std::vector<std::string>{std::string(names::signal::kHide)});
  EXPECT_TRUE(logs::isAllRead());
}

TEST_F(Logs, AMarkRequestNamingNoUnreadRecordWritesNothingButReportsTheState) {
  for (int i = 0; i < 3; ++i) logs::appendCall(call("c" + std::to_string(i)));
  logs::markReadC(markRequest(Log::Calls, "1"));
  auto path = logs::logPath(Log::Calls);
  auto bytes = bytesOf(path);
  struct stat st0 {};
  ::stat(path.c_str(), &st0);
  takePosted();
  LogCapture lines;
  for (std::optional<std::string> key : {std::optional<std::string>("1"), {"9"}, {"01"}, {""}, {"-1"}, {"x"}, {}}) {
    logs::markReadC(markRequest(Log::Calls, key));
    EXPECT_EQ(takePosted(), std::vector<std::string>{std::string(names::signal::kShow)});
  }
  EXPECT_TRUE(lines.has("CalmoraDebug markReadC:-(null).."));
  EXPECT_TRUE(lines.has("CalmoraDebug markReadC:-01.."));
  struct stat st1 {};
  ::stat(path.c_str(), &st1);
  EXPECT_EQ(st0.st_ino, st1.st_ino);  // not rewritten
  EXPECT_EQ(bytesOf(path), bytes);
}

TEST_F(Logs, MissingLogsAreAllReadAndMarkRequestsHideTheMarkerWithoutCreatingFiles) {
  EXPECT_TRUE(logs::isAllRead());
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);
  logs::markReadC(markRequest(Log::Calls, "0"));
  logs::markAllReadN();
  logs::markAllReadC();
  logs::markReadN(markRequest(Log::Notifications, "0"));
  EXPECT_EQ(takePosted(), std::vector<std::string>(4, std::string(names::signal::kHide)));
  EXPECT_FALSE(fs::exists(logs::logPath(Log::Calls)));
  EXPECT_FALSE(fs::exists(logs::logPath(Log::Notifications)));
}

TEST_F(Logs, UnreadCountsArePostedAsDecimalTextUnderBadges) {
  for (int i = 0; i < 5; ++i) logs::appendCall(call("c" + std::to_string(i)));
  logs::markReadC(markRequest(Log::Calls, "0"));
  logs::markReadC(markRequest(Log::Calls, "3"));
  takePosted();
  LogCapture lines;
  logs::unreadCall();
  logs::unreadNotif();
  EXPECT_EQ(takePosted(), (std::vector<std::string>{std::string(names::signal::kUnreadCallCount),
                                                    std::string(names::signal::kUnreadNotifCount)}));
  EXPECT_EQ(badges[std::string(names::signal::kUnreadCallCount)], (platform::UserInfo{{"badges", "3"}}));
  EXPECT_EQ(badges[std::string(names::signal::kUnreadNotifCount)], (platform::UserInfo{{"badges", "0"}}));
  EXPECT_TRUE(lines.has("CalmoraDebug unreadCall::RECEVEDPOST"));
  EXPECT_TRUE(lines.has("CalmoraDebug unreadNotif::RECEVEDPOST"));
}

TEST_F(Logs, MarkAllMarksEveryUnreadRecordAndLeavesAnAllReadLogUnwritten) {
  for (int i = 0; i < 4; ++i) logs::appendNotification(notification("n" + std::to_string(i)));
  logs::markReadN(markRequest(Log::Notifications, "2"));
  logs::appendCall(call("c"));
  takePosted();
  logs::markAllReadN();
  EXPECT_EQ(takePosted(), std::vector<std::string>{std::string(names::signal::kShow)});  // the call is unread
  auto notifs = readLog(Log::Notifications);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(notifs.dict[std::to_string(i)]["isRead"].truthy()) << i;
  EXPECT_EQ(logs::unreadCount(Log::Notifications), 0);

  struct stat st0 {}, st1 {};
  ::stat(logs::logPath(Log::Notifications).c_str(), &st0);
  logs::markAllReadN();
  ::stat(logs::logPath(Log::Notifications).c_str(), &st1);
  EXPECT_EQ(st0.st_ino, st1.st_ino);
  logs::markAllReadC();
  EXPECT_EQ(takePosted(), (std::vector<std::string>{std::string(names::signal::kShow),
                                                    std::string(names::signal::kHide)}));
}

// The quick edits must give byte for byte what parsing, editing and
// serialising the whole log gives.
TEST_F(Logs, EditsOfTheEnginesOwnFileEqualAFullParseAndSerialise) {
  auto expectCanonical = [](Log log) {
    auto bytes = bytesOf(logs::logPath(log));
    EXPECT_EQ(bytes, platform::plist::toXml(platform::plist::parseDictionary(bytes).dict.ref()));
  };
  const std::string awkward = "Zoë & <Bob> \"O'Neil\"\n\t<key>9</key> ]]> &amp; 漢字";
  for (int i = 0; i < 12; ++i) {
    logs::appendCall(call(i == 5 ? awkward : "c" + std::to_string(i)));
    expectCanonical(Log::Calls);
  }
  auto n = notification(awkward);
  n.msg = "";
  logs::appendNotification(n);
  logs::appendNotification(notification("x"));
  expectCanonical(Log::Notifications);
  logs::markReadC(markRequest(Log::Calls, "10"));
  expectCanonical(Log::Calls);
  logs::markReadC(markRequest(Log::Calls, "5"));
  logs::markAllReadN();
  expectCanonical(Log::Calls);
  expectCanonical(Log::Notifications);
  logs::markAllReadC();
  expectCanonical(Log::Calls);
  auto calls = readLog(Log::Calls);
  EXPECT_EQ(calls.dict["5"]["From"].text(), awkward);
  EXPECT_EQ(calls.dict.size(), 12u);
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);
  EXPECT_EQ(readLog(Log::Notifications).dict["0"]["msg"].text(), "");
}

TEST_F(Logs, LogsWrittenByOtherProgramsAreReadAndExtendedWithoutLoss) {
  // Binary, with a record lacking "isRead", one marked by a number, one
  // holding a field of another type, and a value that is no record.
  auto d = Value::dict();
  auto r0 = Value::dict();
  r0.set("From", Value::string("no mark"));
  auto r1 = Value::dict();
  r1.set("From", Value::string("number mark"));
  r1.set("isRead", Value::integer(1));
  auto r2 = Value::dict();
  r2.set("From", Value::string("real field"));
  r2.set("isRead", Value::boolean(false));
  r2.set("score", Value::real(2.5));
  d.set("0", std::move(r0));
  d.set("1", std::move(r1));
  d.set("2", std::move(r2));
  d.set("3", Value::string("not a record"));
  writeFile(std::string(names::kBlockedCallsPath), platform::plist::toBinary(d.ref()));
  EXPECT_EQ(logs::blockedCallsCount(), 4);
  EXPECT_EQ(logs::unreadCount(Log::Calls), 2);
  EXPECT_EQ(logs::appendCall(call("new")), "4");
  logs::markReadC(markRequest(Log::Calls, "0"));
  auto log = readLog(Log::Calls);
  EXPECT_TRUE(log.dict["0"]["isRead"].truthy());
  EXPECT_EQ(log.dict["2"]["score"].real(), 2.5);
  EXPECT_EQ(log.dict["3"].text(), "not a record");
  EXPECT_EQ(log.dict["4"]["From"].text(), "new");
  EXPECT_EQ(logs::unreadCount(Log::Calls), 2);
  logs::markAllReadC();
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);
  EXPECT_EQ(readLog(Log::Calls).dict["1"]["isRead"].integer(), 1);

  // XML of other formatting, its keys in text order ("0", "1", "10", ...).
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
  std::set<std::string> sorted;
  for (int i = 0; i < 12; ++i) sorted.insert(std::to_string(i));
  for (const auto& k : sorted)
    xml += "  <key>" + k + "</key>\n  <dict>\n    <key>From</key>\n    <string>p" + k +
           "</string>\n    <key>isRead</key>\n    <false/>\n  </dict>\n";
  xml += "</dict>\n</plist>\n";
  writeFile(std::string(names::kBlockedNotifPath), xml);
  EXPECT_EQ(logs::unreadCount(Log::Notifications), 12);
  EXPECT_EQ(logs::appendNotification(notification("q")), "12");
  auto notifs = readLog(Log::Notifications);
  expectDense(notifs.dict.ref());
  for (int i = 0; i < 12; ++i) EXPECT_EQ(notifs.dict[std::to_string(i)]["From"].text(), "p" + std::to_string(i));
}

TEST_F(Logs, BadLogsNeverCrashAndLoseNothing) {
  // Keys with a hole: the record already under the count keeps its place.
  auto d = Value::dict();
  for (auto k : {"0", "1", "3"}) {
    auto r = Value::dict();
    r.set("From", Value::string(k));
    d.set(k, std::move(r));
  }
  writeFile(std::string(names::kBlockedCallsPath), platform::plist::toXml(d.ref()));
  EXPECT_EQ(logs::appendCall(call("new")), "4");
  auto log = readLog(Log::Calls);
  EXPECT_EQ(log.dict["3"]["From"].text(), "3");
  EXPECT_EQ(log.dict["4"]["From"].text(), "new");

  // An unreadable log reads as empty; its bytes are kept aside.
  writeFile(std::string(names::kBlockedNotifPath), "<?xml version=\"1.0\"?><plist><dict><key>0</key><di");
  EXPECT_EQ(logs::unreadCount(Log::Notifications), 0);
  {
    LogCapture lines;
    EXPECT_EQ(logs::appendNotification(notification("n")), "0");
    EXPECT_TRUE(lines.has("CalmoraDebug: " + logs::logPath(Log::Notifications).string() + " reads as an empty log"));
  }
  int kept = 0;
  for (const auto& e : fs::directory_iterator(logs::logPath(Log::Notifications).parent_path()))
    if (e.path().filename().string().starts_with("com.veltrane.calmoraBlockedNotif.plist.unreadable-")) {
      ++kept;
      EXPECT_EQ(bytesOf(e.path()), "<?xml version=\"1.0\"?><plist><dict><key>0</key><di");
    }
  EXPECT_EQ(kept, 1);

  // A log that cannot be read at all (here a folder) is left alone.
  fs::remove(logs::logPath(Log::Calls));
  fs::create_directories(logs::logPath(Log::Calls));
  LogCapture lines;
  logs::appendCall(call("lost"));
  logs::markAllReadC();
  EXPECT_TRUE(lines.has("CalmoraDebug: cannot read "));
  EXPECT_TRUE(fs::is_directory(logs::logPath(Log::Calls)));
  EXPECT_EQ(logs::blockedCallsCount(), 0);
}

TEST_F(Logs, WritersWaitForTheLockAndReadersDoNot) {
  logs::appendCall(call("a"));
  auto lock = platform::ExclusiveFileLock::acquire(logs::lockPath(Log::Calls));
  ASSERT_TRUE(lock.has_value());
  auto reader = std::async(std::launch::async, [] { return logs::unreadCount(Log::Calls) + logs::blockedCallsCount(); });
  auto writer = std::async(std::launch::async, [] { return logs::appendCall(call("b")); });
  EXPECT_EQ(reader.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(writer.wait_for(300ms), std::future_status::timeout);
  lock.reset();
  ASSERT_EQ(writer.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(reader.get(), 2);
  EXPECT_EQ(writer.get(), "1");
}

// ---------------------------------------------------------------- the quick path

std::optional<logs::xml::Layout> scanFile(const fs::path& file, size_t chunk) {
  int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0) return std::nullopt;
  logs::xml::Source source(fd, chunk);
  auto layout = logs::xml::scan(source);
  ::close(fd);
  return layout;
}

bool sameLayout(const logs::xml::Layout& a, const logs::xml::Layout& b) {
  if (a.closing != b.closing || a.size != b.size || a.selfClosed != b.selfClosed ||
      a.records.size() != b.records.size())
    return false;
  for (size_t i = 0; i < a.records.size(); ++i)
    if (a.records[i].unread != b.records[i].unread || a.records[i].falseMark != b.records[i].falseMark) return false;
  return true;
}

// A small log in the engine's form with references at many offsets.
std::string engineLog() {
  auto d = Value::dict();
  for (int i = 0; i < 12; ++i) {
    auto r = Value::dict();
    r.set("Date", Value::string("10:30:00 07-12-2026"));
    r.set("isRead", Value::boolean(i % 3 == 0));
    r.set("From", Value::string(std::string(static_cast<size_t>(i), 'x') + "&<>\"'&&" + std::to_string(i)));
    if (i == 4) r.set("n", Value::integer(7));
    if (i == 7) r.remove("isRead");
    d.set(std::to_string(i), std::move(r));
  }
  return platform::plist::toXml(d.ref());
}

TEST_F(Logs, ScanningInChunksOfAnySizeFindsWhatTheWholeTextGives) {
  const std::string text = engineLog();
  auto whole = logs::xml::scan(text);
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(whole->records.size(), 12u);
  EXPECT_EQ(whole->unread(), 8u);
  EXPECT_EQ(whole->size, text.size());
  EXPECT_EQ(text.substr(whole->records[1].falseMark, 8), "<false/>");
  EXPECT_EQ(whole->records[7].falseMark, logs::xml::Layout::kNone);  // unread without a mark
  auto file = root / "log.plist";
  ASSERT_FALSE(platform::plist::writeBytesAtomically(file, text));
  for (size_t chunk : {1, 2, 3, 5, 6, 7, 11, 13, 64, 4096}) {
    auto part = scanFile(file, chunk);
    ASSERT_TRUE(part.has_value()) << "chunk " << chunk;
    EXPECT_TRUE(sameLayout(*whole, *part)) << "chunk " << chunk;
  }
}

TEST_F(Logs, AnythingButTheEnginesOwnFormIsLeftToTheFullParse) {
  const std::string text = engineLog();
  auto file = root / "log.plist";
  // Every truncation, read whole and in small chunks.
  for (size_t n = 0; n < text.size(); ++n) {
    ASSERT_FALSE(logs::xml::scan(text.substr(0, n)).has_value()) << "prefix " << n;
    if (n % 37 == 0) {
      ASSERT_FALSE(platform::plist::writeBytesAtomically(file, text.substr(0, n)));
      EXPECT_FALSE(scanFile(file, 3).has_value()) << "prefix " << n;
    }
  }
  auto replaced = [&](std::string_view from, std::string_view to) {
    std::string t = text;
    size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? t : t.replace(at, from.size(), to);
  };
  const std::string variants[] = {
      replaced("&amp;", "&#38;"),                          // a reference the serialiser never writes
      replaced("&amp;", "&"),                              // not a reference at all
      replaced("<key>3</key>", "<key>4</key>"),            // keys out of order
      replaced("<key>0</key>", "<key>00</key>"),           // not canonical
      replaced("<false/>", "<real>0</real>"),              // another value type
      replaced("<integer>7</integer>", "<integer>7x</integer>"),
      replaced("xxxx&amp;", std::string("xx\0x&amp;", 9)),  // a NUL
      replaced("\t\t<key>Date</key>", "\t\t<key>isRead</key>\n\t\t<true/>\n\t\t<key>Date</key>"),  // two marks
      replaced("</key>\n\t<dict>", "</key>\r\n\t<dict>"),
      replaced("<dict>\n\t<key>0", "<dict>\n\t<key>x</key>\n\t<string>y</string>\n\t<key>0"),
      text + "\n",
      platform::plist::toBinary(platform::plist::parseDictionary(text).dict.ref()),
  };
  for (const auto& v : variants) {
    EXPECT_FALSE(logs::xml::scan(v).has_value()) << v.substr(0, 400);
    ASSERT_FALSE(platform::plist::writeBytesAtomically(file, v));
    EXPECT_FALSE(scanFile(file, 5).has_value());
  }
  // The empty log is its own form.
  EXPECT_TRUE(logs::xml::scan(platform::plist::toXml(Value::dict().ref())).has_value());
}

// ---------------------------------------------------------------- other processes

class Helpers {
 public:
  explicit Helpers(fs::path root) : root_(std::move(root)) {}
  ~Helpers() {
    for (auto& p : procs_)
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(5000);
      }
  }
  QProcess& start(const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(CALMORA_LOG_WRITER_HELPER, QStringList{QString::fromStdString(root_.string())} + args);
    procs_.push_back(std::move(p));
    return *procs_.back();
  }
  // Every helper must end, cleanly, within the time.
  void finishAll(int ms) {
    for (auto& p : procs_) {
      ASSERT_TRUE(p->waitForFinished(ms)) << "helper did not finish: " << p->arguments().join(' ').toStdString();
      EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(p->exitCode(), 0) << p->arguments().join(' ').toStdString();
    }
  }
  std::vector<std::unique_ptr<QProcess>>& all() { return procs_; }

 private:
  fs::path root_;
  std::vector<std::unique_ptr<QProcess>> procs_;
};

TEST_F(Logs, ConcurrentProcessesLoseNoRecordAndShareNoKey) {
  constexpr int kWriters = 4, kEach = 40;
  Helpers helpers(root);
  for (int w = 0; w < kWriters; ++w)
    helpers.start({"append", QString::number(w), QString::number(kEach), "3000"});
  helpers.start({"mark", "60"});
  QProcess& emptier = helpers.start({"empty", "2", "120"});
  helpers.finishAll(120000);

  // Every record is in the log now or was dropped by the app's emptying,
  // exactly once.
  std::multiset<std::string> seen;
  auto log = readLog(Log::Calls);
  ASSERT_NE(log.state, platform::plist::ReadState::Unreadable);
  expectDense(log.dict.ref());
  log.dict.ref().forEach([&](std::string_view, Ref r) {
    expectRecordShape(r, kCallFields);
    seen.insert(r["From"].text().value_or("?"));
    return true;
  });
  std::istringstream out(emptier.readAllStandardOutput().toStdString());
  std::string word;
  std::set<std::string> batchKeys;
  int batches = 0;
  while (out >> word) {
    if (word == "removed") {
      std::string key, from;
      out >> key >> from;
      batchKeys.insert(key);
      seen.insert(from);
    } else if (word == "batch") {
      size_t n = 0;
      out >> n;
      EXPECT_EQ(batchKeys.size(), n);
      for (size_t i = 0; i < n; ++i) EXPECT_TRUE(batchKeys.count(std::to_string(i))) << "emptied log lacked key " << i;
      batchKeys.clear();
      ++batches;
    }
  }
  EXPECT_EQ(batches, 2);
  std::multiset<std::string> expected;
  for (int w = 0; w < kWriters; ++w)
    for (int j = 0; j < kEach; ++j) expected.insert("w" + std::to_string(w) + "-" + std::to_string(j));
  EXPECT_EQ(seen, expected);
}

TEST_F(Logs, AWriterKilledMidWriteLeavesAWholeLogAndNoHeldLock) {
  Helpers helpers(root);
  auto path = logs::logPath(Log::Calls);
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    size_t before = static_cast<size_t>(logs::blockedCallsCount());
    QProcess& writer = helpers.start({"append-forever", "150000"});
    ASSERT_TRUE(writer.waitForStarted(10000));
    // Wait for it to have appended something, then kill it at a moment
    // that differs from round to round.
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (static_cast<size_t>(logs::blockedCallsCount()) <= before + static_cast<size_t>(round)) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the writer appended nothing";
      std::this_thread::sleep_for(2ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * round + 1));
    writer.kill();
    ASSERT_TRUE(writer.waitForFinished(10000));

    auto log = readLog(Log::Calls);
    ASSERT_EQ(log.state, platform::plist::ReadState::Ok);
    expectDense(log.dict.ref());
    log.dict.ref().forEach([&](std::string_view, Ref r) {
      expectRecordShape(r, kCallFields);
      return true;
    });
    int fd = ::open(logs::lockPath(Log::Calls).c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "the killed writer's lock is still held";
    ::close(fd);
  }
  size_t n = static_cast<size_t>(logs::blockedCallsCount());
  EXPECT_EQ(logs::appendCall(call("after")), std::to_string(n));
}

TEST_F(Logs, AnotherPlistReaderSeesEveryFieldWithItsDocumentedType) {
  QString python = QStandardPaths::findExecutable("python3");
  if (python.isEmpty()) GTEST_SKIP() << "python3 is not installed";
  const std::string awkward = "Zoë & <Bob> \"O'Neil\" 漢字";
  logs::appendCall(call("Alice"));
  logs::appendCall(call(awkward));
  logs::CallRecord bare;
  logs::appendCall(bare);
  logs::markReadC(markRequest(Log::Calls, "1"));
  logs::appendNotification(notification("Bob"));
  logs::appendNotification(logs::NotificationRecord{});

  const char* script = R"(
import plistlib, sys, json
def load(path, fields):
    with open(path, 'rb') as f:
        d = plistlib.load(f)
    assert isinstance(d, dict)
    assert sorted(d, key=int) == [str(i) for i in range(len(d))], list(d)
    out = []
    for k in sorted(d, key=int):
        r = d[k]
        assert list(r) == fields, (k, list(r))
        for name in fields:
            assert type(r[name]) is (bool if name == 'isRead' else str), (k, name, type(r[name]))
        out.append(r)
    return out
calls = load(sys.argv[1], ['Date', 'isRead', 'Data', 'appBID', 'iconData', 'From', 'appName'])
notifs = load(sys.argv[2], ['Date', 'isRead', 'Data', 'appBID', 'iconData', 'appName', 'msg', 'From'])
print(json.dumps({'calls': calls, 'notifs': notifs}))
)";
  QProcess p;
  p.start(python, {"-c", script, QString::fromStdString(logs::logPath(Log::Calls).string()),
                   QString::fromStdString(logs::logPath(Log::Notifications).string())});
  ASSERT_TRUE(p.waitForFinished(30000)) << "python3 did not finish";
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  auto json = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
  auto calls = json["calls"].toArray();
  ASSERT_EQ(calls.size(), 3);
  EXPECT_EQ(calls[0].toObject()["From"].toString().toStdString(), "Alice");
  EXPECT_EQ(calls[0].toObject()["Date"].toString().toStdString(), "10:30:00 07-12-2026");
  EXPECT_FALSE(calls[0].toObject()["isRead"].toBool());
  EXPECT_EQ(calls[1].toObject()["From"].toString().toStdString(), awkward);
  EXPECT_TRUE(calls[1].toObject()["isRead"].toBool());
  EXPECT_EQ(calls[2].toObject()["appBID"].toString(), "");
  auto icon = platform::apps::base64Decode(calls[0].toObject()["iconData"].toString().toStdString());
  ASSERT_TRUE(icon.has_value());
  EXPECT_TRUE(icon->starts_with("\x89PNG"));
  auto notifs = json["notifs"].toArray();
  ASSERT_EQ(notifs.size(), 2);
  EXPECT_EQ(notifs[0].toObject()["msg"].toString(), "see you");
  EXPECT_EQ(notifs[1].toObject()["From"].toString(), "");
}

}  // namespace
}  // namespace calmora
