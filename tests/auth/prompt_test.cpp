// The prompt as a person and a test runner meet it: the probe app runs as
// its own process on a temporary device and is driven over its channel.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/automation/typed_json.h"
#include "platform/automation/ui_verbs.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "tests/support/temp_dir.h"
#include "tests/uikit/app_process.h"

namespace {
namespace ui = platform::automation::ui;

// The first node of `cls` (or with identifier `id`) in the tree.
QJsonObject find(const QJsonObject& n, const QString& cls, const QString& id = {}) {
  if (id.isEmpty() ? n.value("class") == cls : n.value("identifier") == id) return n;
  for (const auto& c : n.value("children").toArray())
    if (QJsonObject f = find(c.toObject(), cls, id); !f.isEmpty()) return f;
  return {};
}

class Prompt : public ::testing::Test {
 protected:
  void SetUp() override {
    describe("touch", true, true);
    ASSERT_FALSE(platform::ensureDeviceBus(root).empty());
    app = std::make_unique<testsupport::AppProcess>(root, PROBE_BUNDLE, "sim.test.authprobe");
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
  QJsonObject tree() { return app->ask(requestOf(ui::kTree)).value("tree").toObject(); }
  QJsonObject prompt() { return find(tree(), "UIAlertControllerView"); }
  bool tap(const QString& text) { return app->ask(requestOf(ui::kTap, {{"text", text}})).value("done").toBool(); }
  QJsonObject answer(const QString& text) { return app->ask(requestOf(ui::kAuth, {{"answer", text}})); }
  // Polls until `done` holds; false after the watchdog.
  bool eventually(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
  }
  void open(const QString& button) {
    ASSERT_TRUE(tap(button)) << button.toStdString();
    ASSERT_TRUE(eventually([&] { return !prompt().isEmpty(); })) << "no prompt after " << button.toStdString();
  }
  // The probe's line after its Nth reply: "N:OUTCOME:THREAD".
  QString reply(int n) {
    QString line;
    eventually([&] { return (line = find(tree(), {}, "status").value("text").toString()).startsWith(QString("%1:").arg(n)); });
    return line;
  }

  testsupport::TempDir dir_{"auth-prompt"};
  const std::filesystem::path root = dir_.path();
  std::unique_ptr<testsupport::AppProcess> app;
};

TEST_F(Prompt, ShowsTheReasonOverTheAppAndEachButtonRepliesOffTheMainThreadWithItsCode) {
  struct Step {
    const char *policy, *button, *outcome;
  };
  int n = 0;
  for (const Step& s : {Step{"Owner", "Authenticate", "success"}, Step{"Owner", "Cancel", "-2"},
                        Step{"Owner", "Enter Password", "success"}, Step{"Biometrics", "Enter Password", "-3"}}) {
    open(s.policy);
    EXPECT_EQ(prompt().value("title").toString(), "Touch ID");
    EXPECT_EQ(prompt().value("text").toString(), "Probe reason");
    ASSERT_TRUE(tap(s.button)) << s.button;
    ++n;
    EXPECT_EQ(reply(n), QString("%1:%2:other").arg(n).arg(s.outcome)) << s.policy << " / " << s.button;
    EXPECT_TRUE(eventually([&] { return prompt().isEmpty(); })) << "the prompt stays after " << s.button;
  }
  open("Biometrics");
  for (int attempt = 1; attempt < 3; ++attempt) {
    ASSERT_TRUE(tap("Fail Attempt"));
    EXPECT_EQ(prompt().value("title").toString(), "Try Again") << "after failed attempt " << attempt;
  }
  ASSERT_TRUE(tap("Fail Attempt"));
  ++n;
  EXPECT_EQ(reply(n), QString("%1:-1:other").arg(n)) << "the third failed attempt fails the evaluation";
}

TEST_F(Prompt, IsAnsweredFromOutsideAndARefusedPolicyRepliesWithoutOne) {
  EXPECT_EQ(answer("success").value("code").toString(), "noPrompt");
  open("Owner");
  for (const char* bad : {"yes", "-10", "0"}) EXPECT_EQ(answer(bad).value("code").toString(), "badArgument") << bad;
  EXPECT_TRUE(answer("-8").value("done").toBool());
  EXPECT_EQ(reply(1), "1:-8:other");

  describe("face", false, false);
  ASSERT_TRUE(tap("Biometrics"));
  EXPECT_EQ(reply(2), "2:-7:other");
  ASSERT_TRUE(tap("Owner"));
  EXPECT_EQ(reply(3), "3:-5:other");
  EXPECT_TRUE(prompt().isEmpty());
  describe("face", false, true);
  open("Owner");
  EXPECT_EQ(prompt().value("title").toString(), "Passcode") << "biometry not enrolled leaves the passcode";
}

TEST_F(Prompt, ACancelInAReplyMayEndTheAppWithStatusZero) {
  open("Verify");
  ASSERT_TRUE(tap("Cancel"));
  EXPECT_TRUE(eventually([&] { return app->ask(requestOf(ui::kTree)).value("code") == "noAnswer"; }));
  EXPECT_EQ(app->quit(), 0);
}

}  // namespace
