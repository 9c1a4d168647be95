// Resident memory of a preferences page over 1,000 visits of its list page,
// 1,000 choices in that list and 1,000 scrolls of a 300-row page to its end
// and back: each printed before and after, and the growth per step. The
// pages make their cells without a reuse identifier, as the panes do; a
// cell that leaves the screen must not stay behind. One run; exit status 1
// when any of the three grows past kAllowedGrowthKb. An argument sets
// another number of rounds.
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/foundation/device_paths.h"
#include "platform/preferences/list_controller.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/window.h"

namespace pref = platform::preferences;
namespace plist = platform::plist;
namespace uk = platform::uikit;

namespace {

int gRounds = 1000;
constexpr int kWarmUp = 50;
constexpr long kAllowedGrowthKb = 2048;

long residentKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A page of a "Sound" list of 30 choices and 300 switches, all stored in
// one defaults domain.
class Page : public pref::PSListController {
 public:
  Page() {
    auto sound = std::make_shared<pref::PSSpecifier>("Sound", pref::PSCellType::LinkList);
    auto values = plist::Value::array();
    for (int i = 0; i < 30; ++i) values.append(plist::Value::string(std::to_string(1000 + i)));
    sound->setProperty("validValues", std::move(values));
    add(sound, "sound");
    for (int i = 0; i < 300; ++i) add(std::make_shared<pref::PSSpecifier>(QString("Contact %1").arg(i), pref::PSCellType::Switch), "contact" + std::to_string(i));
  }

 private:
  void add(const pref::PSSpecifierPtr& row, const std::string& key) {
    row->setProperty("key", plist::Value::string(key));
    row->setProperty("defaults", plist::Value::string("bench.page.memory"));
    row->setTarget(this);
    specifiers_.push_back(row);
  }
};

struct Screen {
  Screen() {
    nav = std::make_shared<uk::UINavigationController>(page);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
  }
  std::shared_ptr<uk::UIWindow> window = uk::make<uk::UIWindow>(uk::CGRect(0, 0, 375, 667));
  std::shared_ptr<Page> page = std::make_shared<Page>();
  std::shared_ptr<uk::UINavigationController> nav;
};

bool measure(const char* what, const std::function<void(int)>& step) {
  for (int i = 0; i < kWarmUp; ++i) step(i), settle();
  const long before = residentKb();
  for (int i = 0; i < gRounds; ++i) step(i), settle();
  const long after = residentKb();
  std::printf("%d %-40s resident %ld kB before, %ld kB after: %+ld kB (%+.2f kB each)\n", gRounds, what, before, after,
              after - before, double(after - before) / gRounds);
  return after - before <= kAllowedGrowthKb;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("QT_NO_GLIB")) ::setenv("QT_NO_GLIB", "1", 1);
  QApplication app(argc, argv);
  if (argc > 1) gRounds = std::max(1, std::atoi(argv[1]));
  char templ[] = "/tmp/calmora-bench-page.XXXXXX";
  const std::filesystem::path root = ::mkdtemp(templ);
  platform::setDeviceRoot(root);
  std::filesystem::create_directories(root / "var/mobile/Library/Preferences");
  bool flat = true;
  {
    Screen s;
    uk::UITableView* table = s.page->tableView();
    flat &= measure("visits of the Sound list:", [&](int) {
      s.page->didSelectRowAtIndexPath(*table, {0, 0});
      s.window->layoutIfNeeded();
      s.nav->popViewControllerAnimated(false);
      s.window->layoutIfNeeded();
    });
    s.page->didSelectRowAtIndexPath(*table, {0, 0});
    s.window->layoutIfNeeded();
    auto* list = dynamic_cast<pref::PSListController*>(s.nav->topViewController());
    flat &= measure("choices in the Sound list:", [&](int i) {
      list->didSelectRowAtIndexPath(*list->tableView(), {0, i % 30});
      s.window->layoutIfNeeded();
    });
    s.nav->popViewControllerAnimated(false);
    s.window->layoutIfNeeded();
    flat &= measure("scrolls of 300 rows to the end and back:", [&](int) {
      table->scrollToRowAtIndexPath({0, 300}, uk::UITableViewScrollPosition::Bottom, false);
      s.window->layoutIfNeeded();
      table->scrollToRowAtIndexPath({0, 0}, uk::UITableViewScrollPosition::Top, false);
      s.window->layoutIfNeeded();
    });
  }
  settle();
  std::filesystem::remove_all(root);
  return flat ? 0 : 1;
}
