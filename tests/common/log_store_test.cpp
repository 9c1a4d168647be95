// The two logs' store as every deliverable compiles it: dense keys, the
// quick path through the engine's own XML form, logs of other programs and
// bad logs, the lock among threads and processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <chrono>
#include <functional>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "common/log_store.h"
#include "common/log_xml.h"
#include "common/names.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/log.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using logs::Log;
using platform::plist::Ref;
using platform::plist::Type;
using platform::plist::Value;
using Names = std::vector<std::string>;
using namespace std::chrono_literals;

const Names kCallFields = {"Date", "isRead", "Data", "appBID", "iconData", "From", "appName"};
const Names kNotifFields = {"Date", "isRead", "Data", "appBID", "iconData", "appName", "msg", "From"};
const std::string kAwkward = "Zoë & <Bob> \"O'Neil\"\n\t<key>9</key> ]]> &amp; 漢字";
const std::string kDate = "10:30:00 07-12-2026";

logs::CallRecord call(const std::string& from) {
  return {kDate, "Phone Call from " + from, "com.apple.mobilephone", "iVBORw0KGgoAAAANSUhEUgAAAHgAAAB4CAYAAAA5ZDbS", from,
          "Phone"};
}

logs::NotificationRecord notification(const std::string& from) {
  return {kDate, "WhatsApp notification from " + from, "net.whatsapp.WhatsApp", "iVBORw0KGgo=", "WhatsApp", "see you",
          from};
}

void appendCalls(int n) {
  for (int i = 0; i < n; ++i) (void)logs::appendCall(call("c" + std::to_string(i)));
}

platform::plist::ReadResult readLog(Log log) { return platform::plist::readDictionary(logs::logPath(log)); }

std::string bytesOf(const fs::path& file) { return platform::readFile(file).ok() ? *platform::readFile(file) : ""; }

// Keys "0" to count - 1 and nothing else.
void expectDense(Ref dict) {
  auto keys = dict.keys();
  std::set<std::string> have(keys.begin(), keys.end());
  EXPECT_EQ(have.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_TRUE(have.count(std::to_string(i))) << "key " << i << " missing";
}

void expectRecordShape(Ref record, const Names& fields) {
  ASSERT_TRUE(record.isDict());
  EXPECT_EQ(record.keys(), fields);
  for (const auto& f : fields) EXPECT_EQ(record[f].type(), f == "isRead" ? Type::Bool : Type::String) << f;
}

// A device folder of its own, with the logs' folder; diagnostic lines are
// dropped.
class LogStore : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("calmora-logs-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    platform::setDeviceRoot(root);
    fs::create_directories(logs::logPath(Log::Calls).parent_path());
    platform::setLogSink([](std::string_view, void*) {}, nullptr);
  }
  void TearDown() override {
    platform::setLogSink(nullptr, nullptr);
    platform::setDeviceRoot(".");
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }
  void writeFile(const std::string& phonePath, const std::string& bytes) {
    ASSERT_FALSE(platform::replaceAtomically(platform::devicePath(phonePath), bytes));
  }
  void emptyAsTheAppDoes(Log log) { ASSERT_TRUE(logs::empty(logs::logPath(log)).ok()); }
  fs::path root;
};

TEST_F(LogStore, KeysStayDenseAndStartAgainAfterTheAppEmptiesTheLog) {
  appendCalls(2);
  // The documented sequence of the call path: count, then save under it.
  logs::saveBlockedCall(std::to_string(logs::blockedCallsCount()), call("c"));
  EXPECT_EQ(logs::appendCall(call("d")), "3");
  logs::saveBlockedCall("1", call("b2"));  // replaces that record
  auto log = readLog(Log::Calls);
  expectDense(log.dict.ref());
  EXPECT_EQ(log.dict["1"]["From"].text(), "b2");
  EXPECT_EQ(log.dict["2"]["From"].text(), "c");
  EXPECT_EQ(log.dict["3"]["From"].text(), "d");
  EXPECT_EQ(logs::blockedCallsCount(), 4);

  emptyAsTheAppDoes(Log::Calls);
  EXPECT_EQ(logs::blockedCallsCount(), 0);
  EXPECT_EQ(logs::appendCall(call("e")), "0");
  EXPECT_EQ(readLog(Log::Calls).dict.ref().keys(), Names{"0"});
}

// The quick edits must give byte for byte what parsing, editing and
// serialising the whole log gives.
TEST_F(LogStore, EditsOfTheEnginesOwnFileEqualAFullParseAndSerialise) {
  auto expectCanonical = [](Log log) {
    auto bytes = bytesOf(logs::logPath(log));
    EXPECT_EQ(bytes, platform::plist::toXml(platform::plist::parseDictionary(bytes).dict.ref()));
  };
  for (int i = 0; i < 12; ++i) {
    logs::appendCall(call(i == 5 ? kAwkward : "c" + std::to_string(i)));
    expectCanonical(Log::Calls);
  }
  auto n = notification(kAwkward);
  n.msg = "";
  logs::appendNotification(n);
  logs::appendNotification(notification("x"));
  expectCanonical(Log::Notifications);
  logs::markRead(Log::Calls, "10");
  expectCanonical(Log::Calls);
  logs::markRead(Log::Calls, "5");
  logs::markAllRead(Log::Notifications);
  expectCanonical(Log::Calls);
  expectCanonical(Log::Notifications);
  logs::markAllRead(Log::Calls);
  expectCanonical(Log::Calls);
  auto calls = readLog(Log::Calls);
  EXPECT_EQ(calls.dict["5"]["From"].text(), kAwkward);
  EXPECT_EQ(calls.dict.size(), 12u);
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);
  EXPECT_EQ(readLog(Log::Notifications).dict["0"]["msg"].text(), "");
}

std::string plistOf(const std::string& dictBody) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + dictBody +
         "</dict>\n</plist>\n";
}

// Runs `body` while the log holds other bytes of its size and modification
// time: the same version to whoever does not read it.
void withBytesChangedUnseen(const fs::path& file, const std::function<void()>& body) {
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  auto rewriteInPlace = [&](const std::string& bytes) {
    std::fstream(file, std::ios::in | std::ios::out | std::ios::binary) << bytes;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  };
  const std::string before = bytesOf(file);
  rewriteInPlace(std::string(before.size(), 'x'));
  body();
  rewriteInPlace(before);
}

TEST_F(LogStore, AMemoAnswersAnUnchangedLogWithoutReadingItAndFollowsEveryNewVersion) {
  logs::UnreadMemo memo;
  const auto file = logs::logPath(Log::Calls);
  appendCalls(3);
  EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 3);
  withBytesChangedUnseen(file, [&] {
    EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 3);
    EXPECT_EQ(logs::unreadCount(Log::Calls), 0);  // the bytes read are no log
  });

  // Another writer's record, then the memo's own changes: each a version
  // of its own, the count known after each without a further reading.
  (void)logs::appendCall(call("other"));
  EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 4);
  EXPECT_EQ(logs::appendCall(call("mine"), &memo), "4");
  EXPECT_FALSE(logs::markRead(Log::Calls, "1", &memo));
  withBytesChangedUnseen(file, [&] { EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 4); });
  EXPECT_FALSE(logs::markAllRead(Log::Calls, &memo));
  withBytesChangedUnseen(file, [&] {
    EXPECT_TRUE(logs::isAllRead(&memo));
    // Known to be all read: nothing to mark, nothing read or written.
    EXPECT_FALSE(logs::markAllRead(Log::Calls, &memo));
    EXPECT_FALSE(logs::markRead(Log::Calls, "0", &memo));
    EXPECT_EQ(bytesOf(file).find_first_not_of('x'), std::string::npos);
  });
  EXPECT_EQ(readLog(Log::Calls).dict.size(), 5u);

  emptyAsTheAppDoes(Log::Calls);
  (void)logs::appendNotification(notification("n"));
  EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 0);
  EXPECT_FALSE(logs::isAllRead(&memo));
}

TEST_F(LogStore, LogsWrittenByOtherProgramsAreReadAndExtendedWithoutLoss) {
  // Binary, with a record lacking "isRead", one marked by a number, one
  // holding a field of another type, and a value that is no record.
  auto d = platform::plist::parseDictionary(plistOf(
      "<key>0</key><dict><key>From</key><string>no mark</string></dict>"
      "<key>1</key><dict><key>From</key><string>number mark</string><key>isRead</key><integer>1</integer></dict>"
      "<key>2</key><dict><key>isRead</key><false/><key>score</key><real>2.5</real></dict>"
      "<key>3</key><string>not a record</string>"));
  ASSERT_EQ(d.dict.size(), 4u);
  writeFile(std::string(names::kBlockedCallsPath), platform::plist::toBinary(d.dict.ref()));
  EXPECT_EQ(logs::blockedCallsCount(), 4);
  EXPECT_EQ(logs::unreadCount(Log::Calls), 2);
  EXPECT_EQ(logs::appendCall(call("new")), "4");
  logs::markRead(Log::Calls, "0");
  auto log = readLog(Log::Calls);
  EXPECT_TRUE(log.dict["0"]["isRead"].truthy());
  EXPECT_EQ(log.dict["2"]["score"].real(), 2.5);
  EXPECT_EQ(log.dict["3"].text(), "not a record");
  EXPECT_EQ(log.dict["4"]["From"].text(), "new");
  EXPECT_EQ(logs::unreadCount(Log::Calls), 2);
  logs::markAllRead(Log::Calls);
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);
  EXPECT_EQ(readLog(Log::Calls).dict["1"]["isRead"].integer(), 1);

  // XML of other formatting, its keys in text order ("0", "1", "10", ...).
  std::set<std::string> sorted;
  for (int i = 0; i < 12; ++i) sorted.insert(std::to_string(i));
  std::string body;
  for (const auto& k : sorted)
    body += "  <key>" + k + "</key>\n  <dict>\n    <key>From</key>\n    <string>p" + k +
            "</string>\n    <key>isRead</key>\n    <false/>\n  </dict>\n";
  writeFile(std::string(names::kBlockedNotifPath), plistOf(body));
  EXPECT_EQ(logs::unreadCount(Log::Notifications), 12);
  EXPECT_EQ(logs::appendNotification(notification("q")), "12");
  auto notifs = readLog(Log::Notifications);
  expectDense(notifs.dict.ref());
  for (int i = 0; i < 12; ++i) EXPECT_EQ(notifs.dict[std::to_string(i)]["From"].text(), "p" + std::to_string(i));
}

TEST_F(LogStore, BadLogsNeverCrashAndLoseNothing) {
  // Keys with a hole: the record already under the count keeps its place.
  writeFile(std::string(names::kBlockedCallsPath),
            plistOf("<key>0</key><dict/><key>1</key><dict/>"
                    "<key>3</key><dict><key>From</key><string>3</string></dict>"));
  EXPECT_EQ(logs::appendCall(call("new")), "4");
  auto log = readLog(Log::Calls);
  EXPECT_EQ(log.dict["3"]["From"].text(), "3");
  EXPECT_EQ(log.dict["4"]["From"].text(), "new");

  // An unreadable log reads as empty; its bytes are kept aside.
  const std::string cut = "<?xml version=\"1.0\"?><plist><dict><key>0</key><di";
  writeFile(std::string(names::kBlockedNotifPath), cut);
  EXPECT_EQ(logs::unreadCount(Log::Notifications), 0);
  EXPECT_EQ(logs::appendNotification(notification("n")), "0");
  Names kept;
  for (const auto& e : fs::directory_iterator(logs::logPath(Log::Notifications).parent_path()))
    if (e.path().filename().string().starts_with("com.veltrane.calmoraBlockedNotif.plist.unreadable-"))
      kept.push_back(bytesOf(e.path()));
  EXPECT_EQ(kept, Names{cut});

}

// What is kept aside, by kind of file, with the log's name as its prefix.
std::multiset<fs::file_type> keptAside(const fs::path& logFile) {
  std::multiset<fs::file_type> kept;
  for (const auto& e : fs::directory_iterator(logFile.parent_path()))
    if (e.path().filename().string().starts_with(logFile.filename().string() + ".unreadable-"))
      kept.insert(e.symlink_status().type());
  return kept;
}

TEST_F(LogStore, ALogThatIsNoRegularFileIsNeverReadOrWrittenThroughButKeptAside) {
  const fs::path calls = logs::logPath(Log::Calls), notifs = logs::logPath(Log::Notifications);
  // The calls log a link to the settings, its lock a link to nowhere yet;
  // the notifications log a FIFO.
  const fs::path settings = root / "settings.plist";
  const std::string settingsBytes = plistOf("<key>isTweakEnabled</key><true/><key>sound</key><integer>5</integer>");
  ASSERT_FALSE(platform::replaceAtomically(settings, settingsBytes));
  fs::create_symlink(settings, calls);
  fs::create_symlink(root / "elsewhere", logs::lockPath(Log::Calls));
  ASSERT_EQ(::mkfifo(notifs.c_str(), 0644), 0);

  auto reader = std::async(std::launch::async, [] { return logs::unreadCount(Log::Notifications); });
  if (reader.wait_for(5s) != std::future_status::ready) {
    ::close(::open(notifs.c_str(), O_WRONLY | O_NONBLOCK));  // the watchdog: lets the blocked reader go
    FAIL() << "reading a FIFO in a log's place blocked";
  }
  EXPECT_EQ(reader.get(), 0);
  EXPECT_EQ(logs::blockedCallsCount(), 0);

  EXPECT_EQ(logs::appendCall(call("a")), "0");
  EXPECT_EQ(logs::appendNotification(notification("n")), "0");
  EXPECT_EQ(bytesOf(settings), settingsBytes);
  EXPECT_FALSE(fs::exists(root / "elsewhere"));
  EXPECT_EQ(keptAside(calls), std::multiset{fs::file_type::symlink});
  EXPECT_EQ(keptAside(notifs), std::multiset{fs::file_type::fifo});
  for (const auto& log : {calls, notifs}) {
    EXPECT_EQ(fs::symlink_status(log).type(), fs::file_type::regular);
    EXPECT_EQ(platform::plist::readDictionary(log).dict.ref().keys(), Names{"0"});
  }

  // A folder, and a (sparse) file past the logs' size limit, likewise.
  fs::remove(calls);
  fs::create_directory(calls);
  EXPECT_EQ(logs::appendCall(call("b")), "0");
  fs::resize_file(notifs, platform::kMaxLogBytes + 1);
  EXPECT_EQ(logs::unreadCount(Log::Notifications), 0);
  EXPECT_FALSE(logs::markAllRead(Log::Notifications));
  EXPECT_EQ(logs::appendNotification(notification("m")), "0");
  EXPECT_EQ(keptAside(calls).count(fs::file_type::directory), 1u);
  EXPECT_EQ(keptAside(notifs).count(fs::file_type::regular), 1u);
}

TEST_F(LogStore, TemporaryFilesOfWritersThatDidNotFinishGoAtTheNextWrite) {
  const fs::path log = logs::logPath(Log::Calls);
  const fs::path folder = log.parent_path();
  const std::string stale = "." + log.filename().string() + ".Xa9b2Q";
  const std::string notOurs = "." + log.filename().string() + ".tmp";
  for (const auto& name : {stale, notOurs}) ASSERT_FALSE(platform::replaceAtomically(folder / name, "<plist>"));
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);  // a reader removes nothing
  EXPECT_TRUE(fs::exists(folder / stale));
  EXPECT_EQ(logs::appendCall(call("a")), "0");
  EXPECT_FALSE(fs::exists(folder / stale));
  EXPECT_TRUE(fs::exists(folder / notOurs));
}

TEST_F(LogStore, WritersWaitForTheLockAndReadersDoNot) {
  logs::appendCall(call("a"));
  auto acquired = platform::ExclusiveFileLock::acquire(logs::lockPath(Log::Calls));
  ASSERT_TRUE(acquired.ok());
  std::optional<platform::ExclusiveFileLock> lock(std::move(*acquired));
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

TEST_F(LogStore, ScanningInChunksOfAnySizeFindsWhatTheWholeTextGives) {
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

TEST_F(LogStore, AnythingButTheEnginesOwnFormIsLeftToTheFullParse) {
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

// Runs log_writer_helper processes; kills any still running when it goes.
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
    auto& p = procs_.emplace_back(std::make_unique<QProcess>());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(CALMORA_LOG_WRITER_HELPER, QStringList{QString::fromStdString(root_.string())} + args);
    return *p;
  }
  // Every helper must end, cleanly, within the time.
  void finishAll(int ms) {
    for (auto& p : procs_) {
      std::string args = p->arguments().join(' ').toStdString();
      ASSERT_TRUE(p->waitForFinished(ms)) << "helper did not finish: " << args;
      EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << args;
      EXPECT_EQ(p->exitCode(), 0) << args;
    }
  }

 private:
  fs::path root_;
  std::vector<std::unique_ptr<QProcess>> procs_;
};

TEST_F(LogStore, ConcurrentProcessesLoseNoRecordAndShareNoKey) {
  constexpr int kWriters = 4, kEach = 40;
  Helpers helpers(root);
  for (int w = 0; w < kWriters; ++w) helpers.start({"append", QString::number(w), QString::number(kEach), "3000"});
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
  // The emptier prints "removed KEY FROM" per record and "batch N" per
  // emptying; each emptied log must have been dense too.
  std::istringstream out(emptier.readAllStandardOutput().toStdString());
  std::string word, key, from;
  std::set<std::string> batchKeys;
  int batches = 0;
  for (size_t n = 0; out >> word;)
    if (word == "removed" && out >> key >> from) {
      batchKeys.insert(key);
      seen.insert(from);
    } else if (word == "batch" && out >> n) {
      std::set<std::string> dense;
      for (size_t i = 0; i < n; ++i) dense.insert(std::to_string(i));
      EXPECT_EQ(std::exchange(batchKeys, {}), dense);
      ++batches;
    }
  EXPECT_EQ(batches, 2);
  std::multiset<std::string> expected;
  for (int w = 0; w < kWriters; ++w)
    for (int j = 0; j < kEach; ++j) expected.insert("w" + std::to_string(w) + "-" + std::to_string(j));
  EXPECT_EQ(seen, expected);
}

TEST_F(LogStore, AWriterKilledMidWriteLeavesAWholeLogAndNoHeldLock) {
  Helpers helpers(root);
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int64_t before = logs::blockedCallsCount();
    QProcess& writer = helpers.start({"append-forever", "150000"});
    ASSERT_TRUE(writer.waitForStarted(10000));
    // Kill it once it has appended, at a moment that differs from round to
    // round.
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (logs::blockedCallsCount() <= before + round) {
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
  const std::string next = std::to_string(logs::blockedCallsCount());
  EXPECT_EQ(logs::appendCall(call("after")), next);
}

TEST_F(LogStore, AnotherPlistReaderSeesEveryFieldWithItsDocumentedType) {
  QString python = QStandardPaths::findExecutable("python3");
  if (python.isEmpty()) GTEST_SKIP() << "python3 is not installed";
  const std::string awkward = "Zoë & <Bob> \"O'Neil\" 漢字";
  logs::appendCall(call("Alice"));
  logs::appendCall(call(awkward));
  logs::appendCall(logs::CallRecord{});
  logs::markRead(Log::Calls, "1");
  logs::appendNotification(notification("Bob"));
  logs::appendNotification(logs::NotificationRecord{});

  const char* script = R"(
import plistlib, sys, base64
def load(path, fields):
    with open(path, 'rb') as f:
        d = plistlib.load(f)
    assert sorted(d, key=int) == [str(i) for i in range(len(d))], list(d)
    for k, r in d.items():
        assert list(r) == fields, (k, list(r))
        for name in fields:
            assert type(r[name]) is (bool if name == 'isRead' else str), (k, name, type(r[name]))
    return [d[k] for k in sorted(d, key=int)]
calls = load(sys.argv[1], ['Date', 'isRead', 'Data', 'appBID', 'iconData', 'From', 'appName'])
notifs = load(sys.argv[2], ['Date', 'isRead', 'Data', 'appBID', 'iconData', 'appName', 'msg', 'From'])
assert [(c['From'], c['isRead'], c['appBID']) for c in calls] == [
    ('Alice', False, 'com.apple.mobilephone'), (sys.argv[3], True, 'com.apple.mobilephone'), ('', False, '')], calls
assert calls[0]['Date'] == '10:30:00 07-12-2026', calls[0]
assert base64.b64decode(calls[0]['iconData']).startswith(b'\x89PNG')
assert [(n['From'], n['msg']) for n in notifs] == [('Bob', 'see you'), ('', '')], notifs
)";
  QProcess p;
  p.start(python, {"-c", script, QString::fromStdString(logs::logPath(Log::Calls).string()),
                   QString::fromStdString(logs::logPath(Log::Notifications).string()),
                   QString::fromStdString(awkward)});
  ASSERT_TRUE(p.waitForFinished(30000)) << "python3 did not finish";
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

}  // namespace
}  // namespace calmora
