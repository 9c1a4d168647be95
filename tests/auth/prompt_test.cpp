// The prompt as a person and a test runner meet it: the probe app runs as
// its own process on a temporary device and is driven over its channel.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/automation/ui_verbs.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "tests/support/temp_dir.h"
#include "tests/uikit/app_process.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProbeId = "sim.test.authprobe";

void collect(const QJsonObject& node, const QString& cls, std::vector<QJsonObject>& out) {
  if (node.value("class").toString() == cls) out.push_back(node);
  for (const auto& child : node.value("children").toArray()) collect(child.toObject(), cls, out);
}

class Prompt : public ::testing::Test {
 protected:
  void SetUp() override {
    describe("touch", true, true);
    ASSERT_FALSE(platform::ensureDeviceBus(root).empty());
    app = std::make_unique<testsupport::AppProcess>(root, PROBE_BUNDLE, kProbeId);
    ASSERT_TRUE(app->ready());
  }
  void TearDown() override {
    app.reset();
    platform::stopDeviceBus(root);
  }

  void describe(const char* biometry, bool enrolled, bool passcode) {
    platform::DeviceDescription d;
    d.biometry = biometry;
    d.biometryEnrolled = enrolled;
    d.passcodeSet = passcode;
    ASSERT_TRUE(platform::writeDeviceDescription(root, d));
  }
  QJsonObject ask(QJsonObject request) { return app->ask(request); }
  QJsonObject tap(const QString& text) { return ask({{"verb", "tap"}, {"text", text}}); }
  QJsonObject answer(const QString& text) { return ask({{"verb", "auth"}, {"answer", text}}); }
  QJsonObject tree() { return ask({{"verb", "tree"}}).value("tree").toObject(); }
  // The open prompts of the front window.
  std::vector<QJsonObject> prompts() {
    std::vector<QJsonObject> out;
    collect(tree(), "UIAlertControllerView", out);
    return out;
  }
  QString status() {
    std::function<QString(const QJsonObject&)> find = [&](const QJsonObject& n) {
      if (n.value("identifier") == "status") return n.value("text").toString();
      for (const auto& c : n.value("children").toArray())
        if (QString s = find(c.toObject()); !s.isNull()) return s;
      return QString();
    };
    return find(tree());
  }
  // Polls until `done` holds; false after the watchdog.
  bool eventually(const std::function<bool()>& done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }
  // Opens a prompt with `button` and waits for it.
  void open(const QString& button) {
    ASSERT_TRUE(tap(button).value("done").toBool()) << button.toStdString();
    ASSERT_TRUE(eventually([&] { return prompts().size() == 1; })) << "no prompt after " << button.toStdString();
  }
  // Waits for the Nth reply and answers its status line.
  QString reply(int n) {
    const QString prefix = QString::number(n) + ":";
    eventually([&] { return status().startsWith(prefix); });
    return status();
  }

  testsupport::TempDir dir_{"auth-prompt"};
  const fs::path root = dir_.path();
  std::unique_ptr<testsupport::AppProcess> app;
};

TEST_F(Prompt, ShowsTheReasonOverTheAppAndEachButtonRepliesOffTheMainThreadWithItsCode) {
  open("Owner");
  const QJsonObject shown = prompts().front();
  EXPECT_EQ(shown.value("title").toString(), "Touch ID");
  EXPECT_EQ(shown.value("text").toString(), "Probe reason");
  ASSERT_TRUE(tap("Authenticate").value("done").toBool());
  EXPECT_EQ(reply(1), "1:success:other");
  EXPECT_TRUE(eventually([&] { return prompts().empty(); })) << "the prompt stays after its answer";

  struct Step {
    const char* policy;
    const char* button;
    const char* outcome;
  };
  int n = 1;
  for (const Step& s : {Step{"Owner", "Cancel", "-2"}, Step{"Owner", "Enter Password", "success"},
                        Step{"Biometrics", "Enter Password", "-3"}, Step{"Biometrics", "Cancel", "-2"}}) {
    open(s.policy);
    ASSERT_TRUE(tap(s.button).value("done").toBool()) << s.button;
    ++n;
    EXPECT_EQ(reply(n), QString("%1:%2:other").arg(n).arg(s.outcome)) << s.policy << " / " << s.button;
  }

  open("Biometrics");
  for (int attempt = 1; attempt < 3; ++attempt) {
    ASSERT_TRUE(tap("Fail Attempt").value("done").toBool());
    ASSERT_EQ(prompts().size(), 1u) << "a failed attempt " << attempt << " leaves the prompt open";
    EXPECT_EQ(prompts().front().value("title").toString(), "Try Again");
  }
  ASSERT_TRUE(tap("Fail Attempt").value("done").toBool());
  ++n;
  EXPECT_EQ(reply(n), QString("%1:-1:other").arg(n)) << "the third failed attempt fails the evaluation";
}

TEST_F(Prompt, IsAnsweredFromOutsideAndARefusedPolicyRepliesWithoutOne) {
  EXPECT_EQ(answer("success").value("code").toString(), platform::automation::ui::code::kNoPrompt);
  open("Owner");
  for (const char* bad : {"yes", "-10", "0", "1"})
    EXPECT_EQ(answer(bad).value("code").toString(), "badArgument") << bad;
  ASSERT_EQ(prompts().size(), 1u) << "a bad answer leaves the prompt open";
  EXPECT_TRUE(answer("-8").value("done").toBool());
  EXPECT_EQ(reply(1), "1:-8:other");

  describe("face", false, false);
  ASSERT_TRUE(tap("Biometrics").value("done").toBool());
  EXPECT_EQ(reply(2), "2:-7:other");
  ASSERT_TRUE(tap("Owner").value("done").toBool());
  EXPECT_EQ(reply(3), "3:-5:other");
  EXPECT_TRUE(prompts().empty());
  describe("none", false, true);
  open("Owner");
  EXPECT_EQ(prompts().front().value("title").toString(), "Passcode");
  ASSERT_TRUE(answer("success").value("done").toBool());
  EXPECT_EQ(reply(4), "4:success:other");
}

TEST_F(Prompt, ACancelInAReplyMayEndTheAppWithStatusZero) {
  open("Verify");
  ASSERT_TRUE(tap("Cancel").value("done").toBool());
  EXPECT_TRUE(eventually([&] { return ask({{"verb", "tree"}}).value("code") == "noAnswer"; }))
      << "the app still answers";
  EXPECT_EQ(app->quit(), 0);
}

}  // namespace
