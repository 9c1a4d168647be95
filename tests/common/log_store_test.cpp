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
  for (int i = 0; i < n; ++i) ASSERT_TRUE(logs::appendCall(call("c" + std::to_string(i))));
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
    ASSERT_TRUE(platform::replaceAtomically(platform::devicePath(phonePath), bytes));
  }
  void emptyAsTheAppDoes(Log log) { ASSERT_TRUE(logs::empty(logs::logPath(log)).ok()); }
  fs::path root;
};

TEST_F(LogStore, KeysStayDenseAndStartAgainAfterTheAppEmptiesTheLog) {
  appendCalls(2);
  // The documented sequence of the call path: count, then save under it.
  ASSERT_TRUE(logs::saveBlockedCall(std::to_string(logs::blockedCallsCount()), call("c")));
  ASSERT_TRUE(logs::saveBlockedCall("1", call("b2")));  // replaces that record
  EXPECT_EQ(logs::appendCall(call("d")), "3");
  auto log = readLog(Log::Calls);
  expectDense(log.dict.ref());
  EXPECT_EQ(log.dict["1"]["From"].text(), "b2");
  EXPECT_EQ(log.dict["2"]["From"].text(), "c");
  emptyAsTheAppDoes(Log::Calls);
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
    ASSERT_TRUE(logs::appendCall(call(i == 5 ? kAwkward : "c" + std::to_string(i))));
    expectCanonical(Log::Calls);
  }
  auto n = notification(kAwkward);
  n.msg = "";
  ASSERT_TRUE(logs::appendNotification(n));
  ASSERT_TRUE(logs::markRead(Log::Calls, "10"));
  expectCanonical(Log::Calls);
  ASSERT_TRUE(logs::markAllRead(Log::Notifications));
  expectCanonical(Log::Notifications);
  ASSERT_TRUE(logs::markAllRead(Log::Calls));
  expectCanonical(Log::Calls);
  EXPECT_EQ(readLog(Log::Calls).dict["5"]["From"].text(), kAwkward);
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);
}

std::string plistOf(const std::string& dictBody) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + dictBody +
         "</dict>\n</plist>\n";
}

logs::RecordContent contentOf(Ref r) {
  auto text = [&](std::string_view k) { return r[k].text().value_or(""); };
  return {text("Date"), text("Data"), text("From"), text("appBID"), text("appName"), text("msg"), text("iconData")};
}

std::vector<std::string> callersInLog() {
  auto log = readLog(Log::Calls);
  std::vector<std::string> out;
  for (size_t i = 0; i < log.dict.size(); ++i) out.push_back(log.dict[std::to_string(i)]["From"].text().value_or("?"));
  return out;
}

TEST_F(LogStore, ARemovedRecordIsTheOneThatHoldsWhatWasShownWhereverItMovedAndKeysStayDense) {
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(logs::appendCall(call(i == 2 ? kAwkward : "c" + std::to_string(i))));
  ASSERT_TRUE(logs::markRead(Log::Calls, "3"));
  const auto path = logs::logPath(Log::Calls);
  auto shown = readLog(Log::Calls);  // the version a list read
  auto remove = [&](int64_t key, int64_t shownKey) {
    auto removed = logs::removeRecord(path, key, contentOf(shown.dict[std::to_string(shownKey)]));
    return removed ? *removed : std::optional<int64_t>(-99);
  };
  EXPECT_EQ(remove(2, 2), std::optional<int64_t>(2));
  EXPECT_EQ(bytesOf(path), platform::plist::toXml(platform::plist::parseDictionary(bytesOf(path)).dict.ref()));
  EXPECT_EQ(callersInLog(), (Names{"c0", "c1", "c3", "c4", "c5"}));
  EXPECT_TRUE(readLog(Log::Calls).dict["2"]["isRead"].truthy());  // the read mark moved with its record
  // Stale keys: c4 now lies under 3, and the record shown under 2 is gone.
  EXPECT_EQ(remove(4, 4), std::optional<int64_t>(3));
  EXPECT_EQ(remove(2, 2), std::optional<int64_t>());
  EXPECT_EQ(callersInLog(), (Names{"c0", "c1", "c3", "c5"}));
  EXPECT_EQ(logs::appendCall(call("c6")), "4");

  // Another program's log, parsed whole: the keys above move down too.
  writeFile(std::string(names::kBlockedCallsPath),
            plistOf("<key>0</key><dict><key>From</key><string>a</string></dict>\n"
                    "<key>1</key><dict><key>From</key><integer>7</integer></dict>\n"
                    "<key>2</key><dict><key>From</key><string>c</string></dict>\n"));
  shown = readLog(Log::Calls);
  EXPECT_EQ(remove(1, 1), std::optional<int64_t>(1));
  EXPECT_EQ(callersInLog(), (Names{"a", "c"}));
  EXPECT_EQ(remove(0, 0), std::optional<int64_t>(0));
  EXPECT_EQ(remove(0, 2), std::optional<int64_t>(0));
  EXPECT_EQ(readLog(Log::Calls).dict.size(), 0u);
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
  ASSERT_TRUE(logs::appendCall(call("other")));
  EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 4);
  EXPECT_EQ(logs::appendCall(call("mine"), &memo), "4");
  EXPECT_TRUE(logs::markRead(Log::Calls, "1", &memo));
  withBytesChangedUnseen(file, [&] { EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 4); });
  EXPECT_TRUE(logs::markAllRead(Log::Calls, &memo));
  withBytesChangedUnseen(file, [&] {
    EXPECT_TRUE(logs::isAllRead(&memo));
    // Known to be all read: nothing to mark, nothing read or written.
    EXPECT_TRUE(logs::markAllRead(Log::Calls, &memo));
    EXPECT_TRUE(logs::markRead(Log::Calls, "0", &memo));
    EXPECT_EQ(bytesOf(file).find_first_not_of('x'), std::string::npos);
  });
  EXPECT_EQ(readLog(Log::Calls).dict.size(), 5u);

  emptyAsTheAppDoes(Log::Calls);
  ASSERT_TRUE(logs::appendNotification(notification("n")));
  EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 0);
  EXPECT_FALSE(logs::isAllRead(&memo));
}

// A limit drops the oldest records in the append's own rewrite: the
// newest stay, renumbered from "0", with their read marks, in the bytes a
// full parse would write, and the unread count leaves the dropped ones out.
TEST_F(LogStore, ALimitedLogKeepsItsNewestRecordsUnderDenseKeysAsTheFullParseWould) {
  auto froms = [](Log log) {
    auto d = readLog(log).dict;
    Names out;
    for (size_t k = 0; k < d.size(); ++k) out.push_back(d[std::to_string(k)]["From"].text().value_or("?"));
    return out;
  };
  logs::UnreadMemo memo;
  appendCalls(6);  // kept whole: no limit yet
  ASSERT_TRUE(logs::markRead(Log::Calls, "4"));
  // Past the limit already: one append brings it down to the limit.
  EXPECT_EQ(logs::appendCall(call(kAwkward), &memo, 3), "2");
  EXPECT_EQ(froms(Log::Calls), (Names{"c4", "c5", kAwkward}));
  EXPECT_TRUE(readLog(Log::Calls).dict["0"]["isRead"].truthy());
  EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 2);
  EXPECT_EQ(logs::unreadCount(Log::Calls), 2);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(logs::appendCall(call("n" + std::to_string(i)), &memo, 3), "2");
  EXPECT_EQ(froms(Log::Calls), (Names{"n1", "n2", "n3"}));
  const auto bytes = bytesOf(logs::logPath(Log::Calls));
  EXPECT_EQ(bytes, platform::plist::toXml(platform::plist::parseDictionary(bytes).dict.ref()));
  EXPECT_TRUE(logs::xml::scan(bytes));
  EXPECT_EQ(logs::unreadCount(Log::Calls, &memo), 3);
  EXPECT_EQ(logs::appendCall(call("only"), &memo, 1), "0");
  EXPECT_EQ(froms(Log::Calls), Names{"only"});
  EXPECT_EQ(logs::appendCall(call("under"), &memo, 5), "1");  // under the limit: nothing goes

  // A log in another form is trimmed as a dictionary; one whose keys give
  // no order keeps everything.
  writeFile(std::string(names::kBlockedNotifPath),
            platform::plist::toBinary(platform::plist::parseDictionary(plistOf(
                "<key>0</key><dict><key>From</key><string>a</string></dict>"
                "<key>1</key><dict><key>From</key><string>b</string><key>isRead</key><true/></dict>"
                "<key>2</key><dict><key>From</key><string>c</string></dict>")).dict.ref()));
  EXPECT_EQ(logs::appendNotification(notification("d"), nullptr, 2), "1");
  EXPECT_EQ(froms(Log::Notifications), (Names{"c", "d"}));
  EXPECT_EQ(logs::unreadCount(Log::Notifications), 2);
  writeFile(std::string(names::kBlockedNotifPath),
            plistOf("<key>x</key><dict/><key>7</key><dict/>"));
  EXPECT_EQ(logs::appendNotification(notification("e"), nullptr, 1), "2");
  EXPECT_EQ(readLog(Log::Notifications).dict.size(), 3u);
}

TEST_F(LogStore, LogsWrittenByOtherProgramsAreReadAndExtendedWithoutLoss) {
  // Binary, with a record lacking "isRead", one marked by a number, one
  // holding a field of another type, a value that is no record, and a hole
  // in its keys: the record already under the count keeps its place.
  auto d = platform::plist::parseDictionary(plistOf(
      "<key>0</key><dict><key>From</key><string>no mark</string></dict>"
      "<key>1</key><dict><key>isRead</key><integer>1</integer></dict>"
      "<key>2</key><dict><key>isRead</key><false/><key>score</key><real>2.5</real></dict>"
      "<key>3</key><string>not a record</string>"
      "<key>5</key><dict><key>From</key><string>5</string></dict>"));
  writeFile(std::string(names::kBlockedCallsPath), platform::plist::toBinary(d.dict.ref()));
  EXPECT_EQ(logs::unreadCount(Log::Calls), 3);
  EXPECT_EQ(logs::appendCall(call("new")), "6");
  ASSERT_TRUE(logs::markRead(Log::Calls, "0"));
  EXPECT_TRUE(readLog(Log::Calls).dict["0"]["isRead"].truthy());
  ASSERT_TRUE(logs::markAllRead(Log::Calls));
  auto log = readLog(Log::Calls);
  EXPECT_EQ(log.dict["1"]["isRead"].integer(), 1);
  EXPECT_EQ(log.dict["2"]["score"].real(), 2.5);
  EXPECT_EQ(log.dict["3"].text(), "not a record");
  EXPECT_EQ(log.dict["5"]["From"].text(), "5");
  EXPECT_EQ(log.dict["6"]["From"].text(), "new");
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);
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
  ASSERT_TRUE(platform::replaceAtomically(settings, settingsBytes));
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
  EXPECT_TRUE(logs::markAllRead(Log::Notifications));
  EXPECT_EQ(logs::appendNotification(notification("m")), "0");
  EXPECT_EQ(keptAside(calls).count(fs::file_type::directory), 1u);
  EXPECT_EQ(keptAside(notifs).count(fs::file_type::regular), 1u);
}

TEST_F(LogStore, TemporaryFilesOfWritersThatDidNotFinishGoAtTheNextWrite) {
  const fs::path log = logs::logPath(Log::Calls);
  const fs::path folder = log.parent_path();
  const std::string stale = "." + log.filename().string() + ".Xa9b2Q";
  const std::string notOurs = "." + log.filename().string() + ".tmp";
  for (const auto& name : {stale, notOurs}) ASSERT_TRUE(platform::replaceAtomically(folder / name, "<plist>"));
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);  // a reader removes nothing
  EXPECT_TRUE(fs::exists(folder / stale));
  EXPECT_EQ(logs::appendCall(call("a")), "0");
  EXPECT_FALSE(fs::exists(folder / stale));
  EXPECT_TRUE(fs::exists(folder / notOurs));
}

// ---------------------------------------------------------------- the quick path

using logs::xml::Form;

// What a scan finds, as text; "none" when it leaves the log to the full
// parse.
std::string found(const std::optional<logs::xml::Layout>& l) {
  if (!l) return "none";
  std::string s = std::to_string(l->closing) + " " + std::to_string(l->size) + (l->selfClosed ? " empty" : "");
  for (const auto& r : l->records) s += " " + std::to_string(r.unread) + "@" + std::to_string(r.falseMark);
  return s;
}

std::string scanned(const fs::path& file, size_t chunk, Form form) {
  int fd = ::open(file.c_str(), O_RDONLY);
  logs::xml::Source source(fd, chunk);
  auto layout = logs::xml::scan(source, form);
  ::close(fd);
  return found(layout);
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

TEST_F(LogStore, ScansInChunksOfAnySizeTakeTheEnginesFormForEditsPlainXmlForReadingAndLeaveTheRestToTheFullParse) {
  const std::string text = engineLog();
  auto whole = logs::xml::scan(text);
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(whole->unread(), 8u);
  EXPECT_EQ(text.substr(whole->records[1].falseMark, 8), "<false/>");
  EXPECT_EQ(whole->records[7].falseMark, logs::xml::Layout::kNone);  // unread without a mark
  EXPECT_EQ(found(logs::xml::scan(text, Form::Plain)), found(whole));
  for (size_t n = 0; n < text.size(); ++n) {
    ASSERT_FALSE(logs::xml::scan(text.substr(0, n))) << "prefix " << n;
    // Plain XML may end without the last line's newline.
    ASSERT_EQ(logs::xml::scan(text.substr(0, n), Form::Plain).has_value(), n == text.size() - 1) << "prefix " << n;
  }
  auto replaced = [&](std::string_view from, std::string_view to) {
    std::string t = text;
    size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? t : t.replace(at, from.size(), to);
  };
  const std::string twoMarks =
      replaced("\t\t<key>Date</key>", "\t\t<key>isRead</key>\n\t\t<false/>\n\t\t<key>Date</key>");
  // Each with whether plain XML takes it; the engine's form takes none.
  const std::pair<std::string, bool> variants[] = {
      {replaced("&amp;", "&#38;"), true},  // a reference the serialiser never writes
      {replaced("&amp;", "&#1;"), false},  // no character of XML
      {replaced("&amp;", "&"), false},     // not a reference at all
      {replaced("<key>Date", "<key>D&#97;te"), false},
      {replaced("<key>3</key>", "<key>4</key>"), true},  // keys out of order
      {replaced("<key>0</key>", "<key>00</key>"), true},
      {replaced("<false/>", "<real>0</real>"), true},
      {replaced("<integer>7</integer>", "<integer>7x</integer>"), false},
      {replaced("xxxx&amp;", std::string("xx\0x&amp;", 9)), false},  // a NUL
      {twoMarks, true},
      {replaced("</key>\n\t<dict>", "</key>\r\n\t<dict>"), true},
      {replaced("<dict>\n\t<key>0", "<dict>\n\t<key>x</key>\n\t<string>y</string>\n\t<key>0"), true},
      {replaced("<true/>", "<dict/>"), false},
      {text + "\n", true},
      {text.substr(0, text.size() - 30), false},
      {platform::plist::toBinary(platform::plist::parseDictionary(text).dict.ref()), false},
  };
  auto file = root / "log.plist";
  for (size_t chunk : {1, 2, 3, 5, 7, 13, 4096}) {
    ASSERT_TRUE(platform::replaceAtomically(file, text));
    EXPECT_EQ(scanned(file, chunk, Form::Engine), found(whole)) << "chunk " << chunk;
    for (const auto& [v, plain] : variants) {
      ASSERT_TRUE(platform::replaceAtomically(file, v));
      EXPECT_EQ(scanned(file, chunk, Form::Engine), "none") << "chunk " << chunk << "\n" << v.substr(0, 400);
      EXPECT_EQ(scanned(file, chunk, Form::Plain) != "none", plain) << "chunk " << chunk << "\n" << v.substr(0, 400);
    }
  }
  // Plain XML: the last of two marks counts; fields are read as written.
  auto plain = logs::xml::scan(twoMarks, Form::Plain);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->records[0].unread);
  auto fields = logs::xml::fields(twoMarks, plain->records[1]);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[2].key, "From");
  EXPECT_EQ(logs::xml::resolved(fields[2].text), "x&<>\"'&&1");
  EXPECT_EQ(logs::xml::resolved("&#65;&#xE9;&#x1F600;&amp;"), "A\xC3\xA9\xF0\x9F\x98\x80&");
  // The empty log is its own form.
  EXPECT_TRUE(logs::xml::scan(platform::plist::toXml(Value::dict().ref())).has_value());
}

// ---------------------------------------------------------------- other processes

// Runs log_writer_helper processes; kills any still running when it goes.
struct Helpers : std::vector<std::unique_ptr<QProcess>> {
  ~Helpers() {
    for (auto& p : *this) {
      p->kill();
      p->waitForFinished(5000);
    }
  }
  QProcess& start(const fs::path& root, const QStringList& args) {
    auto& p = emplace_back(std::make_unique<QProcess>());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(CALMORA_LOG_WRITER_HELPER, QStringList{QString::fromStdString(root.string())} + args);
    return *p;
  }
  void finish() {
    for (auto& p : *this) {
      std::string args = p->arguments().join(' ').toStdString();
      ASSERT_TRUE(p->waitForFinished(120000)) << "helper did not finish: " << args;
      EXPECT_EQ(p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1, 0) << args;
    }
  }
};

// The "From" of every record of the calls log, which must be dense.
std::multiset<std::string> callersOfDenseLog() {
  auto log = readLog(Log::Calls);
  EXPECT_NE(log.state, platform::plist::ReadState::Unreadable);
  expectDense(log.dict.ref());
  auto callers = callersInLog();
  return {callers.begin(), callers.end()};
}

// What `writers` append helpers of `each` records write: "wW-J".
std::multiset<std::string> callersWritten(int writers, int each) {
  std::multiset<std::string> expected;
  for (int w = 0; w < writers; ++w)
    for (int j = 0; j < each; ++j) expected.insert("w" + std::to_string(w) + "-" + std::to_string(j));
  return expected;
}

TEST_F(LogStore, ConcurrentProcessesLoseNoRecordAndShareNoKey) {
  constexpr int kWriters = 4, kEach = 40;
  Helpers helpers;
  for (int w = 0; w < kWriters; ++w)
    helpers.start(root, {"append", QString::number(w), QString::number(kEach), "3000"});
  helpers.start(root, {"mark", "60"});
  QProcess& emptier = helpers.start(root, {"empty", "2", "120"});
  ASSERT_NO_FATAL_FAILURE(helpers.finish());

  // Every record is in the log now or was dropped by the app's emptying,
  // exactly once.
  std::multiset<std::string> seen = callersOfDenseLog();
  // The emptier prints the "From" of each record it drops.
  std::istringstream out(emptier.readAllStandardOutput().toStdString());
  for (std::string from; out >> from;) seen.insert(from);
  EXPECT_EQ(seen, callersWritten(kWriters, kEach));
}

// Two deleters working from reads that are already stale (the other one
// moves records down, the writers add more): each removes exactly the
// record it read or nothing.
TEST_F(LogStore, DeletesRacingAppendsRemoveOnlyTheRecordChosenAndLoseNoOther) {
  constexpr int kWriters = 3, kEach = 40;
  Helpers helpers;
  for (int w = 0; w < kWriters; ++w)
    helpers.start(root, {"append", QString::number(w), QString::number(kEach), "3000"});
  helpers.start(root, {"mark", "40"});
  std::vector<QProcess*> deleters = {&helpers.start(root, {"delete", "25", "15"}),
                                     &helpers.start(root, {"delete", "25", "15"})};
  ASSERT_NO_FATAL_FAILURE(helpers.finish());
  std::multiset<std::string> seen = callersOfDenseLog();
  size_t deleted = 0;
  for (QProcess* d : deleters) {
    std::istringstream out(d->readAllStandardOutput().toStdString());
    for (std::string from; out >> from; ++deleted) seen.insert(from);
  }
  EXPECT_GT(deleted, 10u);
  EXPECT_EQ(seen, callersWritten(kWriters, kEach));
}

TEST_F(LogStore, AWriterKilledMidWriteLeavesAWholeLogAndNoHeldLock) {
  Helpers helpers;
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int64_t before = logs::blockedCallsCount();
    QProcess& writer = helpers.start(root, {"append", "0", "1000000000", "150000"});
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
    int fd = ::open(logs::lockPath(Log::Calls).c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "the killed writer's lock is still held";
    ::close(fd);
  }
  const std::string next = std::to_string(logs::blockedCallsCount());
  EXPECT_EQ(logs::appendCall(call("after")), next);
}

}  // namespace
}  // namespace calmora
