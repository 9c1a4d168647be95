// The log viewer's screens inside the test process: an offscreen window, an
// in-process center, logs written by the library's own store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>
#include <tuple>
#include <QBuffer>
#include <QProcess>

#include "viewer/app_lock.h"
#include "viewer/event_detail_controller.h"
#include "viewer/event_list_controller.h"
#include "viewer/image_helpers.h"
#include "viewer/record_filter.h"
#include "common/log_store.h"
#include "common/log_xml.h"
#include "common/names.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/notification_center.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/application.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

namespace fs = std::filesystem;
using namespace calmora;
using namespace calmora::viewer;
using namespace platform::uikit;
using platform::plist::Value;

std::string pngBase64(QColor color, int w = 8, int h = 8) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return platform::base64Encode(std::string_view(bytes.constData(), size_t(bytes.size())));
}

QRgb firstPixel(const UIImagePtr& image) { return image->pixels().pixel(0, 0); }

TEST(ImageHelpers, DecodeScaleAndAverageAsTheScreensUseThem) {
  std::string text = pngBase64(Qt::red, 120, 60);
  std::string broken;
  for (size_t i = 0; i < text.size(); i += 64) broken += text.substr(i, 64) + "\n";
  UIImagePtr plain = decodeBase64ToImage(text), wrapped = decodeBase64ToImage(broken);
  ASSERT_TRUE(plain && wrapped);
  EXPECT_EQ(plain->pixels(), wrapped->pixels());
  EXPECT_EQ(decodeBase64ToImage("not an image!"), nullptr);

  UIImagePtr scaled = imageWithImage(plain, CGSize(40, 40));
  EXPECT_EQ(scaled->pixels().size(), QSize(40, 40));  // stretched, one pixel a point
  EXPECT_EQ(qRed(firstPixel(scaled)), 255);
  UIImagePtr empty = imageWithImage(nullptr, CGSize(40, 40));
  EXPECT_EQ(empty->pixels().size(), QSize(40, 40));
  EXPECT_EQ(qAlpha(firstPixel(empty)), 0);

  EXPECT_EQ(getAverageColor(plain).text(UIUserInterfaceStyle::Light), "#FF0000FF");
  EXPECT_EQ(getAverageColor(decodeBase64ToImage(pngBase64(Qt::transparent))).text(UIUserInterfaceStyle::Light),
            "#000000FF");
  EXPECT_EQ(getAverageColor(nullptr).text(UIUserInterfaceStyle::Light), "#000000FF");
}

TEST(DetailRows, AMessageOf61UnitsGoesUnderItsLabelAndOf60Beside) {
  EventRecord r;
  r.from = "Ann";
  r.date = "10:30:00 07-12-2026";
  r.msg = QString(30, QChar(0x263A)) + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(15);  // 30 + 30 units
  auto rows = detailRows(notificationsKind(), r);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].displayName, "Data");
  EXPECT_FALSE(rows[2].subtitleStyle);
  r.msg += "!";
  EXPECT_TRUE(detailRows(notificationsKind(), r)[2].subtitleStyle);
  auto call = detailRows(callsKind(), r);
  ASSERT_EQ(call.size(), 2u);
  EXPECT_EQ(call[1].displayName, "Call Date");
}

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    center = std::make_shared<platform::InProcessCenter>();
    platform::setDefaultCenter(center);
    platform::setDeviceRoot(dir.path());
    fs::create_directories(dir.path() / "var/mobile/Library/Preferences");
    center->addObserver("", [this](const platform::Notification& n) { posted.push_back(n); });
  }
  void TearDown() override {
    window.reset();
    platform::setDeviceRoot(".");
  }
  void append(int n) {
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(logs::appendCall({"10:30:00 07-12-2026", "Call " + std::to_string(i), "com.apple.mobilephone",
                                    pngBase64(Qt::blue), "Caller " + std::to_string(i), "Phone"})
                      .ok());
  }
  std::shared_ptr<EventListController> open() {
    auto list = std::make_shared<EventListController>(callsKind());
    auto nav = std::make_shared<UINavigationController>(list);
    window = make<UIWindow>(CGRect(0, 0, 375, 667));
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    return list;
  }
  UITableViewCell* row(EventListController& list, int r) {
    list.tableView()->layoutIfNeeded();
    return list.tableView()->cellForRowAtIndexPath({0, r});
  }
  std::vector<std::string> names() {
    center->deliverPending();
    std::vector<std::string> out;
    for (auto& n : posted) out.push_back(n.name);
    return out;
  }
  void choose(UIViewController& presenter, const char* title) {
    auto* alert = dynamic_cast<UIAlertController*>(presenter.presentedViewController());
    ASSERT_NE(alert, nullptr);
    for (auto& a : alert->actions())
      if (a->title() == title) return alert->choose(a);
    FAIL() << "no action " << title;
  }

  testsupport::TempDir dir{"calmora-viewer"};
  std::shared_ptr<platform::InProcessCenter> center;
  std::vector<platform::Notification> posted;
  UIWindowPtr window;
};

// Order, colours, posts and the badge's count are driven from outside in
// viewer_e2e.sh; these are what a device's logs seldom hold.
TEST_F(Viewer, OddLogsShowEmptyRowsAndARecordWithoutAppOpensNothing) {
  auto list = open();
  // Keys that are not 0 to count - 1, a record that is no dictionary, one
  // without fields: empty texts and the empty image.
  ASSERT_TRUE(platform::replaceAtomically(
      logs::logPath(logs::Log::Calls),
      "<plist><dict><key>7</key><dict><key>Data</key><string>far</string></dict>"
      "<key>1</key><string>odd</string><key>0</key><dict/></dict></plist>"));
  list->refreshTable();
  ASSERT_EQ(list->tableView()->numberOfRowsInSection(0), 3);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(row(*list, r)->textLabel()->text(), "");
    EXPECT_EQ(qAlpha(row(*list, r)->imageView()->image()->pixels().pixel(20, 20)), 0);
  }
  list->didSelectRowAtIndexPath(*list->tableView(), {0, 1});
  auto* detail = dynamic_cast<EventDetailController*>(list->navigationController()->topViewController());
  ASSERT_NE(detail, nullptr);
  detail->openApp();  // no bundle identifier: nothing is asked
  auto sent = names();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), std::string(names::signal::kOpenInApp)), 0);
}

TEST_F(Viewer, TheBadgeShowsTheReplyAndClearsForZeroOrNoValue) {
  auto list = open();
  for (auto [reply, badge] : std::vector<std::pair<std::optional<std::string>, std::optional<QString>>>{
           {"12", "12"}, {"0", std::nullopt}, {"3", "3"}, {std::nullopt, std::nullopt}}) {
    platform::UserInfo info;
    if (reply) info["badges"] = *reply;
    platform::defaultCenter().post(names::signal::kUnreadCallCount, info);
    center->deliverPending();
    EXPECT_EQ(list->tabBarItem()->badgeValue(), badge) << reply.value_or("(none)");
  }
}

// "Yes" clears the badge a moment later, and a list gone by then is left alone.
TEST_F(Viewer, MarkAllReadClearsTheBadgeLaterAndOnlyWhileTheListLives) {
  auto list = open();
  platform::defaultCenter().post(names::signal::kUnreadCallCount, {{"badges", "4"}});
  center->deliverPending();
  list->markAllRead();
  choose(*list, "Yes");
  EXPECT_TRUE(testsupport::runUntil([&] { return !list->tabBarItem()->badgeValue(); }));

  list->markAllRead();
  choose(*list, "Yes");
  window.reset();
  list.reset();
  bool later = false;
  DispatchQueue::main().after(0.6, [&] { later = true; });
  EXPECT_TRUE(testsupport::runUntil([&] { return later; }));
}

TEST_F(Viewer, DeleteAtYesRacingAnotherProcessLosesNoLaterRecordAndRevivesNoEarlierOne) {
  auto list = open();
  QProcess writer;
  writer.setStandardErrorFile(QProcess::nullDevice());
  writer.start(CALMORA_LOG_WRITER_HELPER, {QString::fromStdString(dir.path().string()), "append", "0", "200", "20000"});
  ASSERT_TRUE(testsupport::runUntil([] { return logs::blockedCallsCount() >= 20; }, 30000));
  list->removeAllData();
  choose(*list, "Yes");
  ASSERT_TRUE(writer.waitForFinished(60000));
  ASSERT_EQ(writer.exitCode(), 0);

  // One writer appends in order, so the log must hold exactly the records
  // from the first one after the delete to the last, under keys from 0.
  auto log = platform::plist::readDictionary(logs::logPath(logs::Log::Calls));
  const int64_t count = int64_t(log.dict.size());
  ASSERT_GT(count, 0);
  ASSERT_LE(count, 180);
  for (int64_t k = 0; k < count; ++k)
    EXPECT_EQ(log.dict[std::to_string(k)]["From"].text(), "w0-" + std::to_string(200 - count + k)) << k;

  // "NO" changes nothing; "Yes" on a device with no log creates no file.
  list->removeAllData();
  choose(*list, "NO");
  EXPECT_EQ(platform::plist::readDictionary(logs::logPath(logs::Log::Calls)).dict.size(), size_t(count));
  fs::remove(logs::logPath(logs::Log::Calls));
  list->removeAllData();
  choose(*list, "Yes");
  EXPECT_FALSE(fs::exists(logs::logPath(logs::Log::Calls)));
}

TEST_F(Viewer, EachVersionIsParsedOnceAndRowsOfOneReloadComeFromOneVersion) {
  append(3);
  EventLog log(logs::logPath(logs::Log::Calls));
  auto first = log.current();
  EXPECT_EQ(log.current().generation(), first.generation());
  append(1);
  auto second = log.current();
  EXPECT_NE(second.generation(), first.generation());
  EXPECT_EQ(first.count(), 3);  // a held version does not move under its rows
  EXPECT_EQ(first.record(first.numberForRow(0)).data, "Call 2");
  EXPECT_EQ(second.record(second.numberForRow(0)).data, "Call 0");
}

TEST_F(Viewer, TheNewestRecordsReadFromTheEndAreTheRowsTheIndexGivesOrNothing) {
  const fs::path file = logs::logPath(logs::Log::Calls);
  append(30);
  EventLog log(file);
  auto tail = log.newest(24);
  ASSERT_TRUE(tail);
  auto snapshot = log.current();
  EXPECT_EQ(log.reads(), 1u);  // the bytes read from their end are the ones indexed
  EXPECT_EQ(tail->generation, snapshot.generation());
  EXPECT_EQ(tail->count, 30);
  ASSERT_EQ(tail->records.size(), 24u);
  for (int r = 0; r < 24; ++r) {
    const EventRecord want = snapshot.record(snapshot.numberForRow(r));
    EXPECT_EQ(tail->records[size_t(r)].data, want.data) << r;
    EXPECT_EQ(tail->records[size_t(r)].iconData, want.iconData) << r;
  }
  EXPECT_FALSE(log.newest(24));  // that version is indexed already

  auto newest = [&](const std::string& xml, size_t n) {
    EXPECT_TRUE(platform::replaceAtomically(file, xml));
    return EventLog(file).newest(n);
  };
  // A field keyed like an entry, last in its record or in the log, is no
  // entry; a flat value is one, and any whitespace goes between tags.
  const std::string plain =
      "<plist><dict><key>0</key><dict><key>Data</key><string>a</string><key>1</key><string>x</string></dict>"
      "<key>1</key><dict><key>Data</key><string>b &amp; c</string><key>7</key><string>x</string></dict>\n"
      "\t<key>2</key> <string>flat</string>\n<key>3</key><dict><key>9</key><string>x</string></dict></dict>\n</plist>\n";
  tail = newest(plain, 3);
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->count, 4);
  EXPECT_TRUE(tail->records[0].exists);
  EXPECT_FALSE(tail->records[1].exists);
  EXPECT_EQ(tail->records[2].data, "b & c");
  EXPECT_FALSE(newest(plain, 5));  // fewer than asked
  // Keys out of order, not in their usual form, or a file cut short.
  EXPECT_FALSE(newest("<plist><dict><key>0</key><dict/><key>2</key><dict/><key>1</key><dict/></dict></plist>", 2));
  EXPECT_FALSE(newest("<plist><dict><key>0</key><dict/><key>01</key><dict/></dict></plist>", 2));
  EXPECT_FALSE(newest(plain.substr(0, plain.size() - 3), 1));
  fs::remove(file);
  EXPECT_FALSE(EventLog(file).newest(1));
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // refused without blocking
  EXPECT_FALSE(EventLog(file).newest(1));
}

TEST_F(Viewer, TheQuickIndexAndTheFullParseReadTheSameRecords) {
  // As python3's plistlib writes: keys sorted as text, character
  // references; and a repeated key, which keeps its last value.
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
      "\t<key>0</key>\n\t<dict>\n\t\t<key>From</key>\n\t\t<string>&#65;nn &amp; Caf\xC3\xA9 &lt;0&gt;</string>\n"
      "\t\t<key>isRead</key>\n\t\t<integer>0</integer>\n\t</dict>\n"
      "\t<key>1</key>\n\t<dict>\n\t\t<key>isRead</key>\n\t\t<true/>\n\t</dict>\n"
      "\t<key>10</key>\n\t<string>no record</string>\n"
      "\t<key>1</key>\n\t<dict>\n\t\t<key>Data</key>\n\t\t<integer>5</integer>\n"
      "\t\t<key>isRead</key>\n\t\t<real>2.5</real>\n\t</dict>\n</dict>\n</plist>\n";
  ASSERT_TRUE(logs::xml::scan(xml, logs::xml::Form::Plain));
  const std::string binary = platform::plist::toBinary(platform::plist::parseDictionary(xml).dict.ref());
  const fs::path file = logs::logPath(logs::Log::Calls);
  for (const std::string* bytes : {&xml, &binary}) {
    ASSERT_TRUE(platform::replaceAtomically(file, *bytes));
    auto snapshot = EventLog(file).current();
    EXPECT_EQ(snapshot.count(), 3);
    EXPECT_EQ(snapshot.record(0).from, QString::fromUtf8("Ann & Caf\xC3\xA9 <0>"));
    EXPECT_FALSE(snapshot.record(0).isRead);
    EXPECT_EQ(snapshot.record(1).data, "5");
    EXPECT_TRUE(snapshot.record(1).isRead);
    EXPECT_FALSE(snapshot.record(10).exists);
  }
}

TEST_F(Viewer, ASearchLooksInFromDataMsgAndAppNameOnlyCaseAndAccentsAsideAndFollowsNewVersions) {
  auto notice = [](const std::string& from, const std::string& app, const std::string& msg) {
    ASSERT_TRUE(logs::appendNotification({"10:30:00 07-12-2026", "Notification from " + from, "com.example", "",
                                          app, msg, from}).ok());
  };
  notice("ZOË Ünal", "Signal", "lunch?");
  notice("Bob", "WhatsApp", "Café at noon");
  EventLog log(logs::logPath(logs::Log::Notifications));
  RecordFilter filter;
  auto found = [&](const char* text) {
    filter.setText(QString::fromUtf8(text));
    std::vector<int64_t> rows;
    for (int r = 0; r < filter.rowCount(log.current()); ++r) rows.push_back(filter.numberForRow(log.current(), r));
    return rows;
  };
  using Rows = std::vector<int64_t>;
  EXPECT_EQ(found("zoe un"), Rows{0});
  EXPECT_EQ(found("CAFE"), Rows{1});     // msg
  EXPECT_EQ(found("whatsapp"), Rows{1});  // appName
  EXPECT_EQ(found("notification"), (Rows{1, 0}));
  EXPECT_EQ(found("10:30"), Rows{});  // the date is not searched
  EXPECT_EQ(found("lunch?Signal"), Rows{});  // nor across two fields
  notice("Zoe", "Phone", "");
  EXPECT_EQ(found("zoe"), (Rows{2, 0}));
  EXPECT_EQ(found(""), (Rows{2, 1, 0}));
}

// Answers the prompt from a thread of its own, as the system does.
class FakeAuthenticator : public Authenticator {
 public:
  FakeAuthenticator(bool can, bool success, int code, std::string* reason)
      : can_(can), success_(success), code_(code), reason_(reason) {}
  bool canEvaluateOwnerPolicy() override { return can_; }
  void evaluateOwnerPolicy(const std::string& reason, std::function<void(bool, int)> reply) override {
    *reason_ = reason;
    std::thread([reply, s = success_, c = code_] { reply(s, c); }).detach();
  }

 private:
  bool can_, success_;
  int code_;
  std::string* reason_;
};

TEST_F(Viewer, TheLockCoversInBlackUntilTheOwnerAuthenticates) {
  const auto settingsFile = platform::devicePath(names::kSettingsPath);
  auto withTouch = Value::dict();
  withTouch.set("isTouch", Value::boolean(true));
  for (auto [can, success, lifted] : {std::tuple{true, true, true}, {true, false, false}, {false, false, false}}) {
    ASSERT_TRUE(platform::plist::writeXmlAtomically(settingsFile, withTouch.ref()));
    auto main = make<UIWindow>(CGRect(0, 0, 375, 667));
    main->makeKeyAndVisible();
    std::string reason;
    auto cell = startAppLock([&, can = can, success = success] {
      return std::make_unique<FakeAuthenticator>(can, success, success ? 0 : -1, &reason);
    });
    ASSERT_TRUE(cell);
    EXPECT_EQ(UIApplication::sharedApplication().frontWindow(), cell->get());
    EXPECT_EQ((*cell)->backgroundColor(), UIColor::blackColor());
    EXPECT_TRUE(main->isHidden());
    EXPECT_EQ(testsupport::runUntil([&] { return !main->isHidden(); }, lifted ? 5000 : 300), lifted) << can << success;
    EXPECT_EQ((*cell)->isHidden(), lifted);
    EXPECT_EQ(reason, can ? "Unlock Calmora" : "");
  }
  fs::remove(settingsFile);
  EXPECT_FALSE(startAppLock([]() -> std::unique_ptr<Authenticator> { return nullptr; }));
  for (int code : {-2, -3, -6, -7}) EXPECT_TRUE(lockReplyEndsApp(code)) << code;
  for (int code : {0, -1, -4, -5, -8, -9}) EXPECT_FALSE(lockReplyEndsApp(code)) << code;
}

}  // namespace
