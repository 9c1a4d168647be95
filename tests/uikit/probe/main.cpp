// UIKitProbe: a small app that uses each part of the layer, for the tests
// that drive it through the automation channel. A status label (identifier
// "status") and a label of life-cycle calls (identifier "lifecycle") report
// what happened inside.
#include <QString>

#include "platform/uikit/alert_controller.h"
#include "platform/uikit/appearance.h"
#include "platform/uikit/application.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/tab_bar_controller.h"
#include "platform/uikit/table_view_controller.h"

using namespace platform::uikit;

namespace {

constexpr int kRows = 1000;

// What the tests read: one line of state and the life-cycle calls in order.
struct Report {
  std::shared_ptr<UILabel> status = make<UILabel>();
  std::shared_ptr<UILabel> lifecycle = make<UILabel>();
  Report() {
    status->setAccessibilityIdentifier("status");
    lifecycle->setAccessibilityIdentifier("lifecycle");
    for (auto& l : {status, lifecycle}) {
      l->setFrame(CGRect(0, 0, 1, 1));
      l->setAlpha(0.01);
    }
  }
  void note(const QString& call) {
    lifecycle->setText(lifecycle->text().isEmpty() ? call : lifecycle->text() + "," + call);
  }
};

// A solid image drawn through the image context, as the app's icons are.
UIImagePtr solidImage(CGSize size, QColor color) {
  QImage pixels(int(size.width), int(size.height), QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  UIImage source(pixels, 1.0);
  UIGraphicsBeginImageContext(size);
  drawInRect(source, CGRect(CGPoint(), size));
  UIImagePtr image = UIGraphicsGetImageFromCurrentImageContext();
  UIGraphicsEndImageContext();
  return image;
}

class DetailController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  DetailController(Report& report, int row) : report_(report) { setTitle(QString("Row %1").arg(row)); }
  void loadView() override {
    UIViewController::loadView();
    UIView& root = *view();
    root.setBackgroundColor(UIColor::systemBackgroundColor());
    table_->setDataSource(this);
    table_->setDelegate(this);
    table_->setTranslatesAutoresizingMaskIntoConstraints(false);
    root.addSubview(table_);
    for (auto& c : {table_->leadingAnchor().constraintEqualToAnchor(root.leadingAnchor()),
                    table_->trailingAnchor().constraintEqualToAnchor(root.trailingAnchor()),
                    table_->topAnchor().constraintEqualToAnchor(root.topAnchor()),
                    table_->bottomAnchor().constraintEqualToAnchor(root.bottomAnchor())})
      c->setActive(true);
    table_->setTableFooterView(make<UIView>(CGRect(0, 0, 0, 65)));
    bool modern = isOperatingSystemAtLeastVersion({13, 0, 0});
    auto bar = make<UIVisualEffectView>(UIBlurEffect{modern ? UIBlurEffectStyle::SystemMaterial : UIBlurEffectStyle::Light});
    bar->setTranslatesAutoresizingMaskIntoConstraints(false);
    root.addSubview(bar);
    for (auto& c : {bar->leadingAnchor().constraintEqualToAnchor(root.leadingAnchor()),
                    bar->trailingAnchor().constraintEqualToAnchor(root.trailingAnchor()),
                    bar->heightAnchor().constraintEqualToConstant(65),
                    bar->bottomAnchor().constraintEqualToAnchor(root.safeAreaLayoutGuide().bottomAnchor())})
      c->setActive(true);
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    button->setCornerRadius(10);
    button->setClipsToBounds(true);
    button->setTitle("Open", UIControlState::Normal);
    button->setTitleColor(UIColor::whiteColor(), UIControlState::Normal);
    button->addTarget([this] { report_.status->setText("opened " + title()); }, UIControlEvents::TouchUpInside);
    bar->contentView()->addSubview(button);
    button->setBackgroundColor(UIColor::colorWithRed(1, 0, 0, 1));
    for (auto& c : {button->leadingAnchor().constraintEqualToAnchor(bar->leadingAnchor(), 10),
                    button->trailingAnchor().constraintEqualToAnchor(bar->trailingAnchor(), -10),
                    button->topAnchor().constraintEqualToAnchor(bar->topAnchor(), 10),
                    button->bottomAnchor().constraintEqualToAnchor(bar->bottomAnchor(), -10)})
      c->setActive(true);
  }
  void viewDidLoad() override { report_.note("Detail.viewDidLoad"); }
  void viewWillAppear(bool) override { report_.note("Detail.viewWillAppear"); }
  void viewDidAppear(bool) override { report_.note("Detail.viewDidAppear"); }
  void viewWillDisappear(bool) override { report_.note("Detail.viewWillDisappear"); }

  int numberOfSectionsInTableView(UITableView&) override { return 2; }
  int numberOfRowsInSection(UITableView&, int section) override { return section == 0 ? 1 : 2; }
  UITableViewCellPtr cellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
    QString id = p.section == 0 ? "Header" : "Info";
    auto cell = table.dequeueReusableCellWithIdentifier(id);
    if (!cell) cell = make<UITableViewCell>(p.section == 0 ? UITableViewCellStyle::Subtitle : UITableViewCellStyle::Value1, id);
    if (p.section == 0) {
      cell->textLabel()->setText("Probe");
      UIFont font = cell->textLabel()->font();
      cell->textLabel()->setFont(UIFont::fontWithDescriptor(
          font.fontDescriptor().fontDescriptorWithSymbolicTraits(UIFontDescriptorTraitBold), font.pointSize()));
      cell->imageView()->setImage(solidImage(CGSize(55, 55), Qt::blue));
      cell->setSeparatorInset(UIEdgeInsets{0, 0, 0, CGFLOAT_MAX_VALUE});
    } else {
      cell->textLabel()->setText(p.row == 0 ? "From" : "Data");
      cell->detailTextLabel()->setText(p.row == 0 ? "Someone" : QString("A long text. ").repeated(8));
      cell->detailTextLabel()->setNumberOfLines(0);
      cell->detailTextLabel()->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
      cell->setClipsToBounds(true);
    }
    return cell;
  }
  double heightForRowAtIndexPath(UITableView&, NSIndexPath p) override {
    return p.section == 0 ? 85 : UITableViewAutomaticDimension;
  }
  void didSelectRowAtIndexPath(UITableView& table, NSIndexPath p) override { table.deselectRowAtIndexPath(p, true); }

 private:
  Report& report_;
  UITableViewPtr table_ = make<UITableView>(UITableViewStyle::Plain);
};

class ListController : public UITableViewController {
 public:
  explicit ListController(Report& report) : UITableViewController(UITableViewStyle::Grouped), report_(report) {
    setTitle("Events");
    setTabBarItem(std::make_shared<UITabBarItem>("Events", solidImage(CGSize(25, 25), Qt::gray), 0));
    tabBarItem()->setBadgeValue("3");
    navigationItem().setLargeTitleDisplayMode(UINavigationItemLargeTitleDisplayMode::Always);
  }
  void viewDidLoad() override {
    report_.note("List.viewDidLoad");
    auto refresh = make<UIRefreshControl>();
    refresh->addTarget([this] {
      ++refreshes_;
      report_.status->setText(QString("refreshed %1").arg(refreshes_));
      refreshControl()->endRefreshing();
    });
    setRefreshControl(refresh);
    auto trash = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::Trash, [this] { askToDelete(); });
    navigationItem().setRightBarButtonItems({trash});
  }
  void viewWillAppear(bool animated) override {
    UITableViewController::viewWillAppear(animated);
    report_.note("List.viewWillAppear");
  }
  void viewDidAppear(bool) override { report_.note("List.viewDidAppear"); }
  void viewWillDisappear(bool) override { report_.note("List.viewWillDisappear"); }
  void traitCollectionDidChange(const UITraitCollection&) override {
    report_.status->setText(traitCollection().userInterfaceStyle == UIUserInterfaceStyle::Dark ? "dark" : "light");
  }

  std::optional<QString> titleForHeaderInSection(UITableView&, int) override { return QString("Today"); }
  int numberOfRowsInSection(UITableView&, int) override { return kRows; }
  UITableViewCellPtr cellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
    auto cell = table.dequeueReusableCellWithIdentifier("Event");
    if (!cell) cell = make<UITableViewCell>(UITableViewCellStyle::Subtitle, "Event");
    cell->textLabel()->setText(QString("Row %1").arg(p.row));
    cell->textLabel()->setTextColor(p.row == 0 ? UIColor::systemRedColor() : UIColor::labelColor());
    cell->detailTextLabel()->setText("12:00");
    return cell;
  }
  void didSelectRowAtIndexPath(UITableView&, NSIndexPath p) override {
    navigationController()->pushViewController(std::make_shared<DetailController>(report_, p.row), true);
  }

 private:
  void askToDelete() {
    auto alert = UIAlertController::alertControllerWithTitle("Delete all?", "This cannot be undone.",
                                                             UIAlertControllerStyle::Alert);
    alert->addAction(std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::Cancel, nullptr));
    alert->addAction(std::make_shared<UIAlertAction>("Delete", UIAlertActionStyle::Destructive,
                                                     [this](const UIAlertAction&) { setTitle("Deleted"); }));
    presentViewController(alert, true);
  }
  Report& report_;
  int refreshes_ = 0;
};

class ControlsController : public UITableViewController {
 public:
  explicit ControlsController(Report& report) : UITableViewController(UITableViewStyle::Grouped), report_(report) {
    setTitle("Controls");
  }
  int numberOfRowsInSection(UITableView&, int) override { return 3; }
  UITableViewCellPtr cellForRowAtIndexPath(UITableView&, NSIndexPath p) override {
    auto cell = make<UITableViewCell>(UITableViewCellStyle::Default, QString());
    cell->setSelectionStyle(UITableViewCellSelectionStyle::None);
    if (p.row == 0) {
      cell->textLabel()->setText("Enabled");
      auto sw = make<UISwitch>();
      UISwitch* raw = sw.get();
      sw->addTarget([this, raw] { report_.status->setText(raw->isOn() ? "switch on" : "switch off"); },
                    UIControlEvents::ValueChanged);
      cell->setAccessoryView(sw);
    } else if (p.row == 1) {
      auto segments = make<UISegmentedControl>(std::vector<QString>{"One", "Two"});
      segments->setSelectedSegmentIndex(0);
      segments->setFrame(CGRect(15, 6, 160, 32));
      segments->setAccessibilityIdentifier("segments");
      UISegmentedControl* raw = segments.get();
      segments->addTarget([this, raw] { report_.status->setText("segment " + raw->titleForSegmentAtIndex(raw->selectedSegmentIndex())); },
                          UIControlEvents::ValueChanged);
      cell->contentView()->addSubview(segments);
    } else {
      auto field = make<UITextField>(CGRect(15, 6, 300, 32));
      field->setPlaceholder("Name");
      field->setAccessibilityIdentifier("name");
      UITextField* raw = field.get();
      field->addTarget([this, raw] { report_.status->setText("typed " + raw->text()); }, UIControlEvents::EditingChanged);
      cell->contentView()->addSubview(field);
    }
    return cell;
  }

 private:
  Report& report_;
};

class ProbeDelegate : public UIApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(UIApplication&) override {
    UIAppearance::shared().setWhenContainedIn<ControlsController>(AppearanceProperty::SwitchOnTint,
                                                                  UIColor::systemBlueColor());
    window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
    auto list = std::make_shared<UINavigationController>(std::make_shared<ListController>(report_));
    list->setPrefersLargeTitles(true);
    auto controls = std::make_shared<UINavigationController>(std::make_shared<ControlsController>(report_));
    controls->setTabBarItem(std::make_shared<UITabBarItem>("Controls", nullptr, 1));
    tabs_ = std::make_shared<UITabBarController>();
    tabs_->setViewControllers({list, controls});
    window_->setRootViewController(tabs_);
    window_->makeKeyAndVisible();
    window_->addSubview(report_.status);
    window_->addSubview(report_.lifecycle);
    return true;
  }
  void applicationDidBecomeActive(UIApplication&) override {
    DispatchQueue::main().async([this] { report_.note("active"); });
  }

 private:
  Report report_;
  UIWindowPtr window_;
  std::shared_ptr<UITabBarController> tabs_;
};

}  // namespace

int main(int argc, char** argv) {
  return UIApplicationMain(argc, argv, [] { return std::make_shared<ProbeDelegate>(); });
}
