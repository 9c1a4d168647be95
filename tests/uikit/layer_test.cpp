// The layer inside the test process: tables, navigation, tabs, layout,
// alerts, windows and queues, driven by the same synthesized touches as
// the automation channel.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <set>
#include <thread>

#include "platform/uikit/alert_controller.h"
#include "platform/uikit/application.h"
#include "platform/uikit/automation/events.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/automation/tree.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/tab_bar_controller.h"
#include "platform/uikit/table_view_controller.h"
#include "tests/support/wait.h"

// Readable failures for lists of texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

using namespace platform::uikit;
namespace automation = platform::uikit::automation;

namespace {

// Records its life cycle into a shared list.
class Screen : public UIViewController {
 public:
  Screen(QString name, std::vector<QString>& calls) : name_(std::move(name)), calls_(calls) { setTitle(name_); }
  void viewDidLoad() override { calls_.push_back(name_ + ".load"); }
  void viewWillAppear(bool) override { calls_.push_back(name_ + ".willAppear"); }
  void viewDidAppear(bool) override { calls_.push_back(name_ + ".didAppear"); }
  void viewWillDisappear(bool) override { calls_.push_back(name_ + ".willDisappear"); }
  void viewDidDisappear(bool) override { calls_.push_back(name_ + ".didDisappear"); }

 private:
  QString name_;
  std::vector<QString>& calls_;
};

class Rows : public UITableViewController {
 public:
  explicit Rows(int rows, UITableViewStyle style = UITableViewStyle::Plain) : UITableViewController(style), rows_(rows) {}
  int numberOfRowsInSection(UITableView&, int) override { return rows_; }
  UITableViewCellPtr cellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
    auto cell = table.dequeueReusableCellWithIdentifier("Row");
    if (!cell) cell = make<UITableViewCell>(UITableViewCellStyle::Value1, "Row");
    made.insert(cell.get());
    cell->textLabel()->setText(QString("Row %1").arg(p.row));
    bool longRow = p.row == wrapRow;
    cell->detailTextLabel()->setText(longRow ? QString("many words ").repeated(20) : QString());
    cell->detailTextLabel()->setNumberOfLines(longRow ? 0 : 1);
    cell->detailTextLabel()->setLineBreakMode(longRow ? NSLineBreakMode::ByWordWrapping : NSLineBreakMode::ByTruncatingTail);
    return cell;
  }
  std::optional<QString> titleForHeaderInSection(UITableView&, int) override { return header; }
  void didSelectRowAtIndexPath(UITableView&, NSIndexPath p) override { selected.push_back(p.row); }
  double heightForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
    return p.row == tallRow ? 100 : UITableViewController::heightForRowAtIndexPath(table, p);
  }

  int rows_;
  int wrapRow = -1, tallRow = -1;
  std::optional<QString> header;
  std::set<UITableViewCell*> made;
  std::vector<int> selected;
};

// A window of the default screen with `root` shown in it.
UIWindowPtr show(UIViewControllerPtr root) {
  auto window = make<UIWindow>(CGRect(0, 0, 375, 667));
  window->setRootViewController(std::move(root));
  window->makeKeyAndVisible();
  window->layoutIfNeeded();
  return window;
}

TEST(TableView, AsksOnlyForTheRowsOnScreenAndReusesTheirCellsWhileScrolling) {
  auto rows = std::make_shared<Rows>(10000);
  auto window = show(rows);
  UITableView* table = rows->tableView();
  const uint64_t opened = table->cellsConfigured();
  EXPECT_GE(opened, 667u / 44);
  EXPECT_LE(opened, 667u / 44 + 4);
  table->scrollToRowAtIndexPath({0, 9999}, UITableViewScrollPosition::Bottom, false);
  window->layoutIfNeeded();
  ASSERT_NE(table->cellForRowAtIndexPath({0, 9999}), nullptr);
  EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), nullptr);
  EXPECT_NEAR(table->cellForRowAtIndexPath({0, 9999})->convertRect(CGRect(0, 0, 1, 44), nullptr).maxY(), 667, 1);
  table->scrollToRowAtIndexPath({0, 0}, UITableViewScrollPosition::Top, false);
  EXPECT_LE(table->cellsConfigured(), 3 * opened);
  EXPECT_LE(rows->made.size(), opened + 2) << "cells that left the screen were reused";
  // The tree reports the cells on screen, in row order.
  auto tree = automation::describeTree(*table);
  auto cells = tree.value("children").toArray();
  ASSERT_FALSE(cells.isEmpty());
  EXPECT_EQ(cells.first().toObject().value("text").toString(), "Row 0");
}

TEST(TableView, AutomaticHeightsFollowTheTextAndRowsFollowOneAnother) {
  auto rows = std::make_shared<Rows>(5, UITableViewStyle::Grouped);
  rows->wrapRow = 1;
  rows->header = "Recent";
  auto window = show(rows);
  UITableView* table = rows->tableView();
  CGRect r0 = table->rectForRowAtIndexPath({0, 0}), r1 = table->rectForRowAtIndexPath({0, 1});
  EXPECT_EQ(r0.height(), 44);
  EXPECT_GT(r1.height(), 80) << "the wrapped detail needs several lines";
  EXPECT_EQ(r1.minY(), r0.maxY());
  EXPECT_EQ(table->rectForRowAtIndexPath({0, 2}).minY(), r1.maxY());
  EXPECT_GT(r0.minY(), 0) << "below the section header";
  ASSERT_TRUE(automation::findShowing(*window, "Recent"));
  rows->rows_ = 2;
  table->reloadData();
  EXPECT_EQ(table->numberOfRowsInSection(0), 2);
  EXPECT_EQ(table->cellForRowAtIndexPath({0, 3}), nullptr);
}

TEST(TableView, FixedHeightsPlaceEveryRowAndARowGrownAtAReloadMovesOnlyTheRowsBelowIt) {
  auto rows = std::make_shared<Rows>(1000);
  auto window = show(rows);
  UITableView* table = rows->tableView();
  table->setRowHeight(50);
  window->layoutIfNeeded();  // the rows placed again without a reload
  const double top = table->rectForRowAtIndexPath({0, 0}).minY();
  EXPECT_EQ(table->rectForRowAtIndexPath({0, 999}).minY(), top + 999 * 50);
  EXPECT_EQ(table->indexPathForRowAtPoint(CGPoint(10, top + 500 * 50 + 49))->row, 500);
  for (int tall : {500, 0}) {
    rows->tallRow = tall;
    table->reloadData();
    EXPECT_EQ(table->rectForRowAtIndexPath({0, tall}).height(), 100);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, tall + 1}).minY(), top + tall * 50 + 100);
    EXPECT_EQ(table->indexPathForRowAtPoint(CGPoint(10, top + tall * 50 + 99))->row, tall);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 999}).maxY(), top + 999 * 50 + 100);
  }
}

TEST(TableView, ATapSelectsTheRowUnderItAndADragScrollsInstead) {
  auto rows = std::make_shared<Rows>(100);
  auto window = show(rows);
  UITableView* table = rows->tableView();
  automation::tapAt(*window, automation::centerInWindow(*table->cellForRowAtIndexPath({0, 3})));
  EXPECT_EQ(rows->selected, std::vector<int>{3});
  EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 3}));
  EXPECT_TRUE(table->cellForRowAtIndexPath({0, 3})->isSelected());
  table->deselectRowAtIndexPath({0, 3}, true);
  EXPECT_FALSE(table->indexPathForSelectedRow());
  automation::dragFrom(*window, CGPoint(200, 500), CGPoint(200, 300));
  EXPECT_EQ(rows->selected.size(), 1u);
  EXPECT_EQ(table->contentOffset().y, 200);
}

TEST(TableView, ATapOnACellHalfHiddenByTheTabBarLandsOnItsShownPart) {
  auto rows = std::make_shared<Rows>(100);
  auto tabs = std::make_shared<UITabBarController>();
  tabs->setViewControllers({rows});
  auto window = show(tabs);
  // Rows of 44 points above a 49-point tab bar: row 14 shows its top 2 points, row 15 none.
  UITableViewCell* cell = rows->tableView()->cellForRowAtIndexPath({0, 14});
  ASSERT_NE(cell, nullptr);
  ASSERT_EQ(cell->convertRect(cell->bounds(), nullptr), CGRect(0, 616, 375, 44));
  EXPECT_TRUE(automation::isVisibleOnScreen(*cell));
  if (UITableViewCell* below = rows->tableView()->cellForRowAtIndexPath({0, 15})) {
    EXPECT_FALSE(automation::isVisibleOnScreen(*below));
  }
  automation::tapAt(*window, automation::centerInWindow(*cell));
  EXPECT_EQ(rows->selected, std::vector<int>{14});
}

TEST(TableView, APullBeyondTheTopRefreshesUntilTheRefreshEnds) {
  auto rows = std::make_shared<Rows>(30);
  auto window = show(rows);
  int pulls = 0;
  auto refresh = make<UIRefreshControl>();
  refresh->addTarget([&] { ++pulls; });
  rows->setRefreshControl(refresh);
  automation::dragFrom(*window, CGPoint(200, 100), CGPoint(200, 130));
  EXPECT_EQ(pulls, 0) << "a short pull only bounces";
  EXPECT_EQ(rows->tableView()->contentOffset().y, 0);
  automation::dragFrom(*window, CGPoint(200, 100), CGPoint(200, 240));
  EXPECT_EQ(pulls, 1);
  EXPECT_TRUE(refresh->isRefreshing());
  EXPECT_EQ(rows->tableView()->contentOffset().y, -UIRefreshControl::kHeight);
  refresh->endRefreshing();
  EXPECT_EQ(rows->tableView()->contentOffset().y, 0);
}

TEST(NavigationController, PushAndPopCallTheLifeCycleInOrderAndTheEdgeSwipeGoesBack) {
  std::vector<QString> calls;
  auto a = std::make_shared<Screen>("A", calls);
  auto nav = std::make_shared<UINavigationController>(a);
  auto window = show(nav);
  EXPECT_EQ(calls, (std::vector<QString>{"A.load", "A.willAppear", "A.didAppear"}));
  calls.clear();
  auto b = std::make_shared<Screen>("B", calls);
  b->navigationItem().setRightBarButtonItem(std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::Trash, nullptr));
  nav->pushViewController(b, true);
  EXPECT_EQ(calls, (std::vector<QString>{"B.load", "A.willDisappear", "B.willAppear", "A.didDisappear", "B.didAppear"}));
  EXPECT_EQ(b->navigationController(), nav.get());
  window->layoutIfNeeded();
  EXPECT_TRUE(automation::findTappable(*window, "Trash"));
  EXPECT_TRUE(automation::findTappable(*window, "A")) << "the back button shows the previous title";

  // A drag that starts away from the edge, or with the gesture off, stays.
  automation::dragFrom(*window, CGPoint(100, 300), CGPoint(300, 300));
  nav->interactivePopGestureRecognizer().setEnabled(false);
  automation::dragFrom(*window, CGPoint(2, 300), CGPoint(300, 300));
  EXPECT_EQ(nav->viewControllers().size(), 2u);
  nav->interactivePopGestureRecognizer().setEnabled(true);
  calls.clear();
  automation::dragFrom(*window, CGPoint(2, 300), CGPoint(300, 300));
  EXPECT_EQ(nav->topViewController(), a.get());
  EXPECT_EQ(calls, (std::vector<QString>{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"}));
  EXPECT_EQ(b->navigationController(), nullptr);
}

TEST(NavigationController, ANestedStackWithAHiddenBarGoesBackThroughItsScreensOnTheOuterBar) {
  std::vector<QString> calls;
  auto outer = std::make_shared<UINavigationController>(std::make_shared<Screen>("Settings", calls));
  outer->setPrefersLargeTitles(true);
  auto window = show(outer);
  auto inner = std::make_shared<UINavigationController>(std::make_shared<Screen>("Page", calls));
  inner->setNavigationBarHidden(true);
  outer->pushViewController(inner, false);
  EXPECT_EQ(inner->viewControllers().front()->navigationController(), inner.get());
  for (QString title : {QString("Blocked Contacts 12"), QString("Far too long ").repeated(5), QString("Jane")})
    inner->pushViewController(std::make_shared<Screen>(title, calls), false);
  for (QString previous : {"Back", "Blocked Contacts 12", "Page", "Settings"}) {
    window->layoutIfNeeded();
    auto* back = dynamic_cast<UIButton*>(automation::findByIdentifier(*window, "BackButton"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->currentTitle(), previous) << "a previous title too long for the bar reads Back";
    if (previous == "Page") {
      QJsonObject title;
      if (auto* label = dynamic_cast<UILabel*>(automation::findShowing(outer->navigationBar(), "Blocked Contacts 12")))
        title = automation::describe(*label);
      EXPECT_LT(title.value("fontSize").toDouble(34), 34) << "the large title shrinks to show whole";
      EXPECT_FALSE(title.value("truncated").toBool());
    }
    automation::tapAt(*window, automation::centerInWindow(*back));
  }
  EXPECT_EQ(outer->viewControllers().size(), 1u);
  EXPECT_EQ(inner->viewControllers().size(), 1u);
}

// The large title lies over the top of the rows and shrinks into the bar as
// they scroll under it, its foot on the rows' top, and comes back at the top.
TEST(NavigationController, ALargeTitleShrinksIntoTheBarAsTheRowsScrollUnderItAndComesBackAtTheTop) {
  auto rows = std::make_shared<Rows>(40);
  rows->setTitle("Long List");
  auto nav = std::make_shared<UINavigationController>(rows);
  nav->setPrefersLargeTitles(true);
  auto window = show(nav);
  UINavigationBar& bar = nav->navigationBar();
  UITableView& table = *rows->tableView();
  auto barFoot = [&] { return bar.frame().maxY(); };
  auto firstRowTop = [&] { auto* cell = table.cellForRowAtIndexPath({0, 0});
    return cell->convertRect(cell->bounds(), nullptr).minY(); };
  const double top = window->safeAreaInsets().top;
  EXPECT_EQ(barFoot(), top + 96);
  EXPECT_EQ(firstRowTop(), barFoot());
  table.setContentOffset(CGPoint(0, table.minOffsetY() + 20));
  window->layoutIfNeeded();
  EXPECT_EQ(barFoot(), top + 76) << "the band shrinks as far as the rows moved";
  EXPECT_EQ(firstRowTop(), barFoot());
  EXPECT_TRUE(bar.showsLargeTitle());
  table.setContentOffset(CGPoint(0, 200));
  window->layoutIfNeeded();
  EXPECT_EQ(barFoot(), top + 44);
  EXPECT_FALSE(bar.showsLargeTitle());
  EXPECT_EQ(bar.titleLabel()->font().pointSize(), 17) << "the title shows in the bar, standard";
  table.setContentOffset(CGPoint(0, table.minOffsetY()));
  window->layoutIfNeeded();
  EXPECT_EQ(barFoot(), top + 96);
  EXPECT_TRUE(bar.showsLargeTitle());
  // A finger let go with the title half shrunk: it settles at the nearer end.
  const CGPoint from(180, 400);
  automation::dragFrom(*window, from, from - CGPoint(0, 20));
  window->layoutIfNeeded();
  EXPECT_EQ(barFoot(), top + 96);
  automation::dragFrom(*window, from, from - CGPoint(0, 40));
  window->layoutIfNeeded();
  EXPECT_EQ(barFoot(), top + 44);
}

TEST(TabBarController, ATapOnATabShowsItsScreenAndTheBarShowsTheBadgesGiven) {
  std::vector<QString> calls;
  auto one = std::make_shared<Screen>("One", calls), two = std::make_shared<Screen>("Two", calls);
  auto tabs = std::make_shared<UITabBarController>();
  tabs->setViewControllers({one, two});
  auto window = show(tabs);
  EXPECT_EQ(tabs->selectedIndex(), 0);
  EXPECT_FALSE(two->isViewLoaded());
  two->tabBarItem()->setBadgeValue("0");
  window->layoutIfNeeded();
  UIView* tab = automation::findTappable(*window, "Two");
  ASSERT_NE(tab, nullptr);
  QJsonObject node = automation::describe(*tab);
  EXPECT_EQ(node.value("badge").toString(), "0") << "clearing a zero badge is the app's job";
  calls.clear();
  automation::tapAt(*window, automation::centerInWindow(*tab));
  EXPECT_EQ(tabs->selectedIndex(), 1);
  EXPECT_EQ(calls, (std::vector<QString>{"Two.load", "One.willDisappear", "Two.willAppear", "One.didDisappear",
                                         "Two.didAppear"}));
  two->tabBarItem()->setBadgeValue(std::nullopt);
  window->layoutIfNeeded();
  QJsonObject cleared = automation::describe(*automation::findTappable(*window, "Two"));
  EXPECT_FALSE(cleared.contains("badge"));
}

TEST(Reading, AViewOfAClassThatRegistersNothingReadsAsItsNearestRegisteredBase) {
  struct Caption : UILabel {};
  auto caption = make<Caption>();
  caption->setText("Later");
  QJsonObject node = automation::describe(*caption);
  EXPECT_EQ(node.value("class").toString(), "UILabel");
  EXPECT_EQ(node.value("text").toString(), "Later");
  EXPECT_TRUE(node.contains("frame")) << "and UIView's fields before the label's";
  EXPECT_EQ(automation::text(*caption), "Later");
}

TEST(CGRect, EdgesCountInsideAPointButTouchingRectanglesShareNothing) {
  const CGRect a(0, 0, 10, 10);
  EXPECT_TRUE(a.contains(CGPoint(10, 10)));
  EXPECT_FALSE(CGRect(0, 0, 0, 10).contains(CGPoint(0, 5))) << "no width holds nothing";
  EXPECT_FALSE(a.intersects(CGRect(10, 0, 5, 5)));
  EXPECT_EQ(a.intersection(CGRect(10, 0, 5, 5)), CGRect());
  EXPECT_EQ(a.intersection(CGRect(5, -5, 10, 10)), CGRect(5, 0, 5, 5));
  EXPECT_EQ(inset(a, {1, 2, 3, 4}), CGRect(2, 1, 4, 6));
}

TEST(Layout, AnchorsPlaceAViewAgainstItsSuperviewSiblingsAndTheSafeArea) {
  auto window = make<UIWindow>(CGRect(0, 0, 375, 667));
  auto bar = make<UIView>(), button = make<UIView>();
  window->addSubview(bar);
  bar->addSubview(button);
  for (UIView* v : {bar.get(), button.get()}) v->setTranslatesAutoresizingMaskIntoConstraints(false);
  for (auto& c : {bar->leadingAnchor().constraintEqualToAnchor(window->leadingAnchor()),
                  bar->trailingAnchor().constraintEqualToAnchor(window->trailingAnchor()),
                  bar->heightAnchor().constraintEqualToConstant(65),
                  bar->topAnchor().constraintEqualToAnchor(window->safeAreaLayoutGuide().topAnchor()),
                  button->leadingAnchor().constraintEqualToAnchor(bar->leadingAnchor(), 10),
                  button->trailingAnchor().constraintEqualToAnchor(bar->trailingAnchor(), -10),
                  button->topAnchor().constraintEqualToAnchor(bar->topAnchor(), 10),
                  button->bottomAnchor().constraintEqualToAnchor(bar->bottomAnchor(), -10)})
    c->setActive(true);
  window->layoutIfNeeded();
  EXPECT_EQ(bar->frame(), CGRect(0, 20, 375, 65)) << "under the status bar";
  EXPECT_EQ(button->frame(), CGRect(10, 10, 355, 45));
  EXPECT_EQ(button->convertRect(button->bounds(), nullptr), CGRect(10, 30, 355, 45));
}

TEST(AlertController, ActionsKeepTheirOrderAndAHandlerRunsOnceTheAlertIsGone) {
  std::vector<QString> calls;
  auto screen = std::make_shared<Screen>("Host", calls);
  auto window = show(screen);
  auto sheet = UIAlertController::alertControllerWithTitle("Clear", "", UIAlertControllerStyle::ActionSheet);
  bool presentedInHandler = true;
  for (auto [title, style] : {std::pair{"Delete", UIAlertActionStyle::Destructive}, {"Keep", UIAlertActionStyle::Default},
                              {"Cancel", UIAlertActionStyle::Cancel}})
    sheet->addAction(std::make_shared<UIAlertAction>(title, style, [&](const UIAlertAction&) {
      presentedInHandler = screen->presentedViewController() != nullptr;
    }));
  screen->presentViewController(sheet, true);
  window->layoutIfNeeded();
  std::vector<double> tops;
  for (const char* title : {"Delete", "Keep", "Cancel"}) {
    UIView* action = automation::findTappable(*window, title);
    ASSERT_NE(action, nullptr) << title;
    tops.push_back(automation::centerInWindow(*action).y);
  }
  EXPECT_TRUE(std::is_sorted(tops.begin(), tops.end()));
  EXPECT_GT(tops.front(), 667.0 / 2) << "an action sheet sits at the bottom";
  automation::tapAt(*window, automation::centerInWindow(*automation::findTappable(*window, "Keep")));
  EXPECT_FALSE(presentedInHandler);
  EXPECT_EQ(screen->presentedViewController(), nullptr);
  EXPECT_FALSE(automation::findTappable(*window, "Keep"));
}

TEST(UIApplication, TheFrontWindowIsTheHighestLevelShown) {
  auto main = make<UIWindow>(CGRect(0, 0, 375, 667));
  main->makeKeyAndVisible();
  auto lock = make<UIWindow>(CGRect(0, 0, 375, 667));
  lock->setWindowLevel(UIWindowLevelStatusBar);
  lock->setBackgroundColor(UIColor::blackColor());
  auto& app = UIApplication::sharedApplication();
  EXPECT_EQ(app.frontWindow(), main.get());
  main->setHidden(true);
  lock->setHidden(false);
  EXPECT_EQ(app.frontWindow(), lock.get());
  EXPECT_EQ(app.keyWindow(), main.get()) << "showing a window does not make it key";
  lock->setHidden(true);
  EXPECT_EQ(app.frontWindow(), main.get()) << "with none shown, the key window";
}

TEST(DispatchQueue, MainBlocksRunInOrderDelaysWaitAndTheSystemQueueRunsOffTheMainThread) {
  std::vector<int> order;
  DispatchQueue::main().after(0.05, [&] { order.push_back(3); });
  DispatchQueue::main().async([&] { order.push_back(1); });
  DispatchQueue::main().async([&] { order.push_back(2); });
  std::thread::id replyThread;
  DispatchQueue::system().async([&] {
    replyThread = std::this_thread::get_id();
    DispatchQueue::main().async([&] { order.push_back(4); });
  });
  ASSERT_TRUE(testsupport::runUntil([&] { return order.size() == 4; }, 5000));
  EXPECT_EQ(order[0], 1);
  EXPECT_EQ(order[1], 2);
  EXPECT_NE(replyThread, std::this_thread::get_id());
}

}  // namespace
