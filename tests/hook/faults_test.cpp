// Faults under the logs: a disk that fills up in the middle of a rewrite,
// on the quick path through the engine's own file and on the full parse, or
// a folder that cannot be written, leaves the old log whole and nothing
// beside it, says so, loses no blocked event's record, and the home screen
// goes on serving once the fault is gone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <fstream>
#include <thread>

#include "common/names.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/log.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

namespace fs = std::filesystem;
namespace sig = names::signal;

constexpr const char* kJane = "A1B2C3D4-0001";
constexpr const char* kMessages = "com.apple.MobileSMS";

platform::springboard::CallDescription janeCalls() {
  platform::springboard::CallDescription c;
  c.displayName = "Jane Roe";
  c.contactIdentifier = std::string(kJane) + ":ABPerson";
  return c;
}

// The logs' folder cannot be written while it lives. Root writes anywhere,
// so root takes the effective ids of the user nobody, who may not write in
// a folder that root owns, and takes its own back after.
class FolderNotWritable {
 public:
  explicit FolderNotWritable(fs::path folder) : folder_(std::move(folder)) {
    if (asRoot_)
      EXPECT_TRUE(::setegid(65534) == 0 && ::seteuid(65534) == 0);
    else
      fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::remove);
  }
  ~FolderNotWritable() {
    if (asRoot_)
      EXPECT_TRUE(::seteuid(0) == 0 && ::setegid(0) == 0);
    else
      fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
  }

 private:
  fs::path folder_;
  bool asRoot_ = ::geteuid() == 0;
};

platform::Result<void> doneOf(const platform::Result<std::string>& r) {
  if (r.ok()) return {};
  return r.error();
}

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Faults : public HookDevice {
 protected:
  void SetUp() override {
    HookDevice::SetUp();
    writeFile(std::string(platform::contacts::kAddressBookPath), vcards({{kJane, "Jane", "Roe", {}}}));
    boot(settingsFile(0, true, {{kJane, Entry().blocked().on("com.apple.mobilephoneCall").on(kMessages)}}));
    takePosted();
  }

  static logs::CallRecord call(const std::string& from, size_t iconBytes = 100) {
    logs::CallRecord r;
    r.date = "10:30:00 07-12-2026";
    r.from = from;
    r.iconData = std::string(iconBytes, 'i');
    return r;
  }
  fs::path callsLog() const { return logs::logPath(logs::Log::Calls); }
  // Files in the log's folder other than the logs, their locks and the
  // settings: what a failed write could leave behind.
  std::vector<std::string> strays() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(callsLog().parent_path())) {
      std::string name = e.path().filename().string();
      if (name.starts_with(".")) out.push_back(name);
    }
    return out;
  }

  // Runs `body` in a child whose files may grow only `room` bytes past the
  // calls log's size (less than its size when negative), with the signal
  // that would kill it ignored, so that a write fails the way it fails on a
  // full disk. Answers the child's exit status: 0 when the write failed as
  // a write and the child saw the old log intact.
  int underFullDisk(const std::function<platform::Result<void>()>& body, long room = 4096) {
    std::string before = bytesOf(callsLog());
    pid_t child = ::fork();
    if (child == 0) {
      platform::setLogSink([](std::string_view, void*) {}, nullptr);
      ::signal(SIGXFSZ, SIG_IGN);
      auto limit = static_cast<rlim_t>(static_cast<long>(before.size()) + room);
      rlimit r{limit, limit};
      if (::setrlimit(RLIMIT_FSIZE, &r) != 0) ::_exit(10);
      auto done = body();
      bool failedAsAWrite = !done && done.error().code == platform::ErrorCode::WriteFailed;
      ::_exit(!failedAsAWrite ? 11 : bytesOf(callsLog()) != before ? 12 : 0);
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (::waitpid(child, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        ADD_FAILURE() << "the writer hung";
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(bytesOf(callsLog()), before);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
  }
};

// A binary log is no file of the engine's own form: every write parses and
// serialises it whole.
TEST_F(Faults, AFullDiskFailsAWriteOnTheQuickPathAndOnTheFullParseAndKeepsTheOldLog) {
  for (bool binary : {false, true}) {
    SCOPED_TRACE(binary ? "binary" : "own form");
    fs::remove(callsLog());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(logs::appendCall(call("old " + std::to_string(i))));
    if (binary)
      writeFile(std::string(names::kBlockedCallsPath),
                platform::plist::toBinary(platform::plist::readDictionary(callsLog()).dict.ref()));
    EXPECT_EQ(underFullDisk([] { return doneOf(logs::appendCall(call("too big", 64 * 1024))); }), 0);
    EXPECT_EQ(underFullDisk([] { return logs::markRead(logs::Log::Calls, "1"); }, -100), 0);
    EXPECT_EQ(underFullDisk([] { return logs::markAllRead(logs::Log::Calls); }, -100), 0);
    EXPECT_EQ(strays(), std::vector<std::string>{});
    // Room again: the log goes on where it stood.
    EXPECT_EQ(logs::appendCall(call("fits")), "3");
    EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 4);
  }
}

TEST_F(Faults, RecordsThatCannotBeWrittenWaitCountAsUnreadAndAreWrittenInOrderLater) {
  const platform::springboard::BulletinDescription text{kMessages, "Jane Roe", {}, "call me", std::nullopt};
  auto at = [&](int second) { setNow(localMs(2026, 12, 7, 10, 30, second)); };
  auto unreadBadges = [&](std::string_view request) {
    center().post(request, {}, platform::Delivery::Immediate);
    std::vector<std::string> badges;
    for (const auto& n : takeNotifications())
      if (n.userInfo.count(std::string(sig::kBadges))) badges.push_back(n.userInfo.at(std::string(sig::kBadges)));
    return badges;
  };
  {
    FolderNotWritable readOnly(callsLog().parent_path());
    for (int second : {2, 4}) {
      at(second);
      EXPECT_FALSE(board().deliverCallEvent(janeCalls()));
    }
    EXPECT_FALSE(board().deliverBulletin(text));
    EXPECT_FALSE(fs::exists(callsLog()));
    EXPECT_EQ(board().status()["pendingRecords"].toInt(), 3);

    // Still blocked and unseen: the marker stays on, the counts hold them.
    takePosted();
    center().post(sig::kMarkAllReadC, {}, platform::Delivery::Immediate);
    center().post(sig::kMarkAllReadN, {}, platform::Delivery::Immediate);
    auto marker = takePosted();
    std::erase_if(marker, [](const std::string& n) { return n != sig::kShow && n != sig::kHide; });
    EXPECT_EQ(marker, (std::vector<std::string>(2, std::string(sig::kShow))));
    EXPECT_EQ(unreadBadges(sig::kUnreadCall), std::vector<std::string>{"2"});
    EXPECT_EQ(unreadBadges(sig::kUnreadNotif), std::vector<std::string>{"1"});
  }

  at(6);
  EXPECT_FALSE(board().deliverCallEvent(janeCalls()));
  takePosted();
  EXPECT_EQ(board().status()["pendingRecords"].toInt(), 0);
  auto calls = readLog(names::kBlockedCallsPath);
  ASSERT_EQ(calls.size(), 3u);
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i]["Date"], "10:30:0" + std::to_string(2 * (i + 1)) + " 07-12-2026");
    EXPECT_EQ(calls[i]["isRead"], "false");
  }
  auto bulletins = readLog(names::kBlockedNotifPath);
  ASSERT_EQ(bulletins.size(), 1u);
  EXPECT_EQ(bulletins[0]["msg"], "call me");
  EXPECT_EQ(unreadBadges(sig::kUnreadCall), std::vector<std::string>{"3"});
}

}  // namespace
}  // namespace calmora::testing
