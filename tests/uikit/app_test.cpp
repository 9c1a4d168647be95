// The layer as a person and a test runner meet it: the probe app runs as its
// own process on a temporary device and is driven over its channel.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QImage>
#include <QJsonArray>
#include <csignal>
#include <functional>
#include <thread>

#include "platform/automation/client.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/ui_verbs.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/file_io.h"
#include "tests/support/temp_dir.h"
#include "tests/uikit/app_process.h"

namespace fs = std::filesystem;
namespace ui = platform::automation::ui;

namespace {

constexpr const char* kProbeId = "sim.test.uikitprobe";

using Match = std::function<bool(const QJsonObject&)>;

void collect(const QJsonObject& node, const Match& match, std::vector<QJsonObject>& out) {
  if (match(node)) out.push_back(node);
  for (const auto& child : node.value("children").toArray()) collect(child.toObject(), match, out);
}

Match withClass(const QString& name) {
  return [name](const QJsonObject& n) { return n.value("class").toString() == name; };
}
Match withText(const QString& text) {
  return [text](const QJsonObject& n) { return n.value("text").toString() == text; };
}

class ProbeApp : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::writeDeviceDescription(root, {}));
    ASSERT_FALSE(platform::ensureDeviceBus(root).empty());
    app = std::make_unique<testsupport::AppProcess>(root, PROBE_BUNDLE, kProbeId);
    ASSERT_TRUE(app->ready());
  }
  void TearDown() override {
    app.reset();
    platform::stopDeviceBus(root);
  }

  QJsonObject ask(QJsonObject request, int timeoutMs = 15000) { return app->ask(request, timeoutMs); }
  std::vector<QJsonObject> find(const Match& match) {
    std::vector<QJsonObject> out;
    collect(ask(requestOf(ui::kTree)).value("tree").toObject(), match, out);
    return out;
  }
  QString status() {
    auto nodes = find([](const QJsonObject& n) { return n.value("identifier") == "status"; });
    return nodes.empty() ? QString() : nodes.front().value("text").toString();
  }
  // Polls the tree until `done` holds; false after the watchdog.
  bool eventually(const std::function<bool()>& done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }
  QJsonObject tap(const QString& text) { return ask(requestOf(ui::kTap, {{"text", text}})); }

  testsupport::TempDir dir_{"uikit-app"};
  const fs::path root = dir_.path();
  std::unique_ptr<testsupport::AppProcess> app;
};

TEST_F(ProbeApp, TheTreeShowsOnlyAScreenfulOfCellsWithTheirTextsColoursAndFrames) {
  auto cells = find(withClass("UITableViewCell"));
  ASSERT_GE(cells.size(), 8u);
  EXPECT_LE(cells.size(), 20u) << "a table of 1000 rows prepares only what is on screen";
  const QJsonObject& first = cells.front();
  EXPECT_EQ(first.value("text").toString(), "Row 0");
  EXPECT_EQ(first.value("detail").toString(), "12:00");
  EXPECT_EQ(first.value("textColor").toString(), "#FF3B30FF");
  EXPECT_EQ(cells[1].value("textColor").toString(), "#000000FF");
  EXPECT_EQ(first.value("row").toInt(), 0);
  QJsonArray frame = first.value("frame").toArray();
  // Below the status bar, the large-title bar and the grouped header; as wide as the screen.
  EXPECT_GE(frame[1].toDouble(), 20 + 96 + 38);
  EXPECT_EQ(frame[2].toDouble(), 375);
  EXPECT_EQ(cells[1].value("frame").toArray()[1].toDouble(), frame[1].toDouble() + frame[3].toDouble());

  auto tabs = find(withClass("UITabBarButton"));
  ASSERT_EQ(tabs.size(), 2u);
  EXPECT_EQ(tabs[0].value("badge").toString(), "3");
  EXPECT_FALSE(tabs[1].contains("badge"));
  EXPECT_EQ(tabs[0].value("image").toArray(), (QJsonArray{25, 25}));
  EXPECT_EQ(find(withText("TODAY")).size() + find(withText("Today")).size(), 1u);
  EXPECT_EQ(find(withClass("UIBarButtonItem")).front().value("title").toString(), "Trash");

  ASSERT_TRUE(ask(requestOf(ui::kScroll, {{"row", 500}})).value("done").toBool());
  auto scrolled = find(withClass("UITableViewCell"));
  EXPECT_LE(scrolled.size(), 20u);
  EXPECT_TRUE(std::any_of(scrolled.begin(), scrolled.end(), withText("Row 500")));
  EXPECT_EQ(ask(requestOf(ui::kScroll, {{"row", 1000}})).value("code").toString(), "notFound");
}

TEST_F(ProbeApp, TappingACellPushesItsScreenInLifeCycleOrderAndBackPopsIt) {
  ASSERT_TRUE(tap("Row 2").value("done").toBool());
  auto bars = find(withClass("UINavigationBar"));
  ASSERT_FALSE(bars.empty());
  EXPECT_EQ(bars.front().value("title").toString(), "Row 2");
  auto lifecycle = find([](const QJsonObject& n) { return n.value("identifier") == "lifecycle"; });
  ASSERT_EQ(lifecycle.size(), 1u);
  EXPECT_TRUE(lifecycle.front().value("text").toString().endsWith(
      "List.viewDidAppear,active,Detail.viewDidLoad,List.viewWillDisappear,Detail.viewWillAppear,Detail.viewDidAppear"))
      << lifecycle.front().value("text").toString().toStdString();

  // The bar at the bottom holds the button 10 points inside it.
  auto buttons = find(withClass("UIButton"));
  auto open = std::find_if(buttons.begin(), buttons.end(), [](auto& b) { return b.value("title") == "Open"; });
  ASSERT_NE(open, buttons.end());
  EXPECT_EQ(open->value("frame").toArray(), (QJsonArray{10, 667 - 49 - 55, 355, 45}));
  EXPECT_EQ(open->value("backgroundColor").toString(), "#FF0000FF");
  EXPECT_EQ(open->value("textColor").toString(), "#FFFFFFFF");
  ASSERT_TRUE(tap("Open").value("done").toBool());
  EXPECT_EQ(status(), "opened Row 2");
  auto header = find(withText("Probe"));
  ASSERT_FALSE(header.empty());
  EXPECT_TRUE(header.back().value("bold").toBool());

  ASSERT_TRUE(ask(requestOf(ui::kBack)).value("done").toBool());
  EXPECT_TRUE(find(withText("Open")).empty());
  EXPECT_EQ(find(withText("Row 0")).size(), 2u) << "the cell and its label";
  EXPECT_EQ(ask(requestOf(ui::kBack)).value("code").toString(), "notFound") << "the list is the root";
}

TEST_F(ProbeApp, AnAlertAppearsInTheTreeAndATapOnAnActionAnswersIt) {
  ASSERT_TRUE(tap("Trash").value("done").toBool());
  auto alerts = find(withClass("UIAlertControllerView"));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts.front().value("title").toString(), "Delete all?");
  auto actions = find(withClass("UIAlertAction"));
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].value("title").toString(), "Cancel");
  EXPECT_EQ(actions[1].value("textColor").toString(), "#FF3B30FF");
  // The alert is modal: the list under it takes no tap.
  ASSERT_TRUE(tap("Delete").value("done").toBool());
  EXPECT_TRUE(find(withClass("UIAlertControllerView")).empty());
  EXPECT_EQ(find(withClass("UINavigationBar")).front().value("title").toString(), "Deleted");
  EXPECT_EQ(tap("Delete").value("code").toString(), "notFound");
}

TEST_F(ProbeApp, PullingRefreshesAndTheRefreshEndsAtOnce) {
  auto before = find(withClass("UITableViewCell")).front().value("frame");
  ASSERT_TRUE(ask(requestOf(ui::kPull)).value("done").toBool());
  EXPECT_EQ(status(), "refreshed 1");
  auto controls = find(withClass("UIRefreshControl"));
  EXPECT_TRUE(controls.empty()) << "an ended refresh is not shown";
  EXPECT_EQ(find(withClass("UITableViewCell")).front().value("frame"), before);
}

TEST_F(ProbeApp, ADarkAppearanceChangesTheColoursTheTreeReports) {
  auto center = platform::makeDBusCenter(platform::deviceBusAddress(root));
  ASSERT_TRUE(center);
  platform::DeviceDescription dark;
  dark.appearance = "dark";
  ASSERT_TRUE(platform::writeDeviceDescription(root, dark));
  center->post("sim.device/appearance");
  ASSERT_TRUE(center->sync());
  ASSERT_TRUE(eventually([&] { return status() == "dark"; }));
  auto cells = find(withClass("UITableViewCell"));
  ASSERT_GE(cells.size(), 2u);
  EXPECT_EQ(cells[1].value("textColor").toString(), "#FFFFFFFF");
  EXPECT_EQ(cells[1].value("backgroundColor").toString(), "#1C1C1EFF");
}

TEST_F(ProbeApp, AScreenshotIsAtTheDeviceScaleWithTheColoursAtTheirPoints) {
  ASSERT_TRUE(ask(requestOf(ui::kTap, {{"row", 0}})).value("done").toBool());
  testsupport::TempDir out{"uikit-shot"};
  const QString file = QString::fromStdString((out.path() / "shot.png").string());
  auto answer = ask(requestOf(ui::kScreenshot, {{"path", file}}));
  EXPECT_EQ(answer.value("width").toInt(), 750);
  EXPECT_EQ(answer.value("height").toInt(), 1334);
  QImage shot(file);
  ASSERT_FALSE(shot.isNull());
  // Inside the "Open" button (10, 563, 355, 45), away from its title and corners.
  EXPECT_EQ(shot.pixelColor(30 * 2, 585 * 2), QColor(255, 0, 0));
  // The 55-point header image is blue, in the middle of the first row under the large-title bar.
  EXPECT_EQ(shot.pixelColor(40 * 2, (20 + 96 + 42) * 2), QColor(0, 0, 255));
}

TEST_F(ProbeApp, ControlsAnswerToggleTypeAndTapsAndWaitEndsEitherWay) {
  ASSERT_TRUE(tap("Controls").value("done").toBool());
  ASSERT_TRUE(ask(requestOf(ui::kToggle, {{"text", "Enabled"}})).value("done").toBool());
  EXPECT_EQ(status(), "switch on");
  auto switches = find(withClass("UISwitch"));
  ASSERT_EQ(switches.size(), 1u);
  EXPECT_TRUE(switches.front().value("value").toBool());
  EXPECT_EQ(switches.front().value("backgroundColor").toString(), "#007AFFFF") << "the appearance proxy's tint";

  EXPECT_EQ(ask(requestOf(ui::kType, {{"text", "abc"}})).value("code").toString(), "notFound") << "no field has focus";
  ASSERT_TRUE(ask(requestOf(ui::kTap, {{"identifier", "name"}})).value("done").toBool());
  ASSERT_TRUE(ask(requestOf(ui::kType, {{"text", "abc"}})).value("done").toBool());
  EXPECT_EQ(status(), "typed abc");

  auto segments = find([](const QJsonObject& n) { return n.value("identifier") == "segments"; });
  ASSERT_EQ(segments.size(), 1u);
  QJsonArray f = segments.front().value("frame").toArray();
  ASSERT_TRUE(ask(requestOf(ui::kTap, {{"x", f[0].toDouble() + f[2].toDouble() * 0.75}, {"y", f[1].toDouble() + 10}}))
                  .value("done")
                  .toBool());
  EXPECT_EQ(status(), "segment Two");

  EXPECT_TRUE(ask(requestOf(ui::kWait, {{"text", "segment Two"}, {"timeout", 1}})).value("found").toBool());
  EXPECT_FALSE(ask(requestOf(ui::kWait, {{"text", "never shown"}, {"timeout", 0.2}})).value("found").toBool());
  EXPECT_EQ(tap("Nowhere").value("code").toString(), "notFound");
  EXPECT_EQ(ask(requestOf(ui::kTap, {{"x", 10}})).value("code").toString(), "badArgument");
  EXPECT_EQ(ask(requestOf(ui::kScreenshot, {{"path", "/nonexistent/shot.png"}})).value("code").toString(), "cannotWrite");
  EXPECT_EQ(app->quit(), 0);
}

TEST_F(ProbeApp, AClientThatLeavesDuringAWaitLeavesTheAppServing) {
  // The client gives up long before the wait's deadline and closes.
  auto gaveUp = platform::automation::request(platform::automation::socketFile(root, kProbeId),
                                              requestOf(ui::kWait, {{"text", "never shown"}, {"timeout", 0.5}}), 100);
  ASSERT_EQ(gaveUp.failure, platform::automation::Failure::TimedOut);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(::waitpid(app->pid(), nullptr, WNOHANG), 0) << "the app ended";
  EXPECT_TRUE(ask(requestOf(ui::kTree)).contains("tree"));
}

TEST_F(ProbeApp, AScreenshotReplacesALinkAtItsNameAndRefusesAFifo) {
  testsupport::TempDir out{"uikit-shot"};
  const fs::path kept = out.path() / "kept.txt", link = out.path() / "shot.png", fifo = out.path() / "fifo.png";
  ASSERT_TRUE(platform::replaceAtomically(kept, "keep"));
  fs::create_symlink(kept, link);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(ask(requestOf(ui::kScreenshot, {{"path", QString::fromStdString(link.string())}})).value("width").toInt(), 750);
  auto keptBytes = platform::readFile(kept);
  EXPECT_TRUE(keptBytes && *keptBytes == "keep") << "written through the link";
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(link)));
  EXPECT_FALSE(QImage(QString::fromStdString(link.string())).isNull());
  EXPECT_EQ(ask(requestOf(ui::kScreenshot, {{"path", QString::fromStdString(fifo.string())}}), 5000).value("code"),
            "cannotWrite");
  EXPECT_EQ(ask(requestOf(ui::kScreenshot, {{"path", "relative.png"}})).value("code"), "cannotWrite");
  EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 3) << "no temporary left";
}

TEST_F(ProbeApp, SigtermEndsTheAppAsQuitDoesRemovingItsPidFileAndSocket) {
  ASSERT_TRUE(fs::exists(root / "run" / (std::string(kProbeId) + ".pid")));
  const int status = app->end(SIGTERM);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "raw status " << status;
  EXPECT_FALSE(fs::exists(root / "run" / (std::string(kProbeId) + ".pid")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(root / "run" / (std::string(kProbeId) + ".sock"))));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication qapp(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
