#include "platform/uikit/automation/ui_server.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <functional>

#include "platform/automation/screenshot_file.h"
#include "platform/automation/ui_verbs.h"
#include "platform/automation/wait.h"
#include "platform/uikit/application.h"
#include "platform/uikit/automation/events.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/automation/system_prompt.h"
#include "platform/uikit/automation/tree.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/table_view.h"
#include "platform/uikit/view_widget_p.h"

namespace platform::uikit {

namespace ui = platform::automation::ui;

namespace {
QJsonObject error(const QString& text, const char* code) { return {{"error", text}, {"code", code}}; }
QJsonObject notFound(const QString& what) { return error(what, ui::code::kNotFound); }
QJsonObject done() { return {{"done", true}}; }

UIVerbHooks& hooks() {
  static UIVerbHooks h;
  return h;
}

// The window verbs act on, laid out as it will be drawn.
UIWindow* front() {
  if (hooks().before) hooks().before();
  UIWindow* w = UIApplication::sharedApplication().frontWindow();
  if (w) w->layoutIfNeeded();
  return w;
}

// The overlays shown (the home screen's status bar and banners), the one on
// top first: a person sees and touches them over the front window.
std::vector<UIWindow*> overlays() {
  std::vector<UIWindow*> shown;
  for (UIWindow* w : UIApplication::sharedApplication().windows())
    if (w->isOverlay() && !w->isHidden()) shown.push_back(w);
  std::sort(shown.begin(), shown.end(), [](UIWindow* a, UIWindow* b) {
    return a->windowLevel() != b->windowLevel() ? a->windowLevel() > b->windowLevel() : a->shownOrder() > b->shownOrder();
  });
  for (UIWindow* w : shown) w->layoutIfNeeded();
  return shown;
}

// What `find` answers in an overlay, else in the front window `w`.
UIView* inOverlays(const std::function<UIView*(UIWindow&)>& find) {
  for (UIWindow* o : overlays())
    if (UIView* v = find(*o)) return v;
  return nullptr;
}

UIWindow& windowOf(UIView& view, UIWindow& otherwise) {
  UIView* top = &view;
  while (top->superview()) top = top->superview();
  auto* w = dynamic_cast<UIWindow*>(top);
  return w ? *w : otherwise;
}

// A tap at a point of the screen: an overlay's where it takes touches there.
void tapOnScreen(UIWindow& front, CGPoint point) {
  for (UIWindow* o : overlays())
    if (o->touchableAt(point)) return automation::tapAt(*o, point);
  automation::tapAt(front, point);
}

std::optional<NSIndexPath> pathOf(const QJsonObject& r) {
  int row = r.value("row").toInt(-1);
  int section = r.value("section").toInt(0);
  if (row < 0 || section < 0) return std::nullopt;
  return NSIndexPath{section, row};
}

bool inTable(const UITableView& table, NSIndexPath p) {
  return p.section < table.numberOfSections() && p.row < table.numberOfRowsInSection(p.section);
}

// What `find` answers in the window, on screen. When nothing shown
// answers, the front table is scrolled through its rows a screen at a time
// from the top until something does, and that row is brought fully into
// view; when no row has it, the table goes back where it was.
using Finder = std::function<UIView*(UIWindow&)>;
UIView* reach(UIWindow& w, const Finder& find) {
  auto shown = [&]() -> UIView* {
    UIView* v = find(w);
    return v && automation::isVisibleOnScreen(*v) ? v : nullptr;
  };
  if (UIView* v = shown()) return v;
  UITableView* table = automation::frontTable(w);
  if (!table) return nullptr;
  const CGPoint was = table->contentOffset();
  const double step = std::max(44.0, table->bounds().height() - 44);
  for (double y = table->minOffsetY();; y += step) {
    table->setContentOffset(CGPoint(was.x, std::min(y, table->maxOffsetY())));
    w.layoutIfNeeded();
    if (UIView* v = shown()) {
      const UIView* cell = v;
      while (cell && !dynamic_cast<const UITableViewCell*>(cell)) cell = cell->superview();
      if (auto path = cell ? table->indexPathForCell(static_cast<const UITableViewCell*>(cell)) : std::nullopt) {
        table->scrollToRowAtIndexPath(*path, UITableViewScrollPosition::None, false);
        w.layoutIfNeeded();
        return shown();
      }
      return v;
    }
    if (y >= table->maxOffsetY()) break;
  }
  table->setContentOffset(was);
  w.layoutIfNeeded();
  return nullptr;
}

QJsonObject tap(const QJsonObject& r) {
  UIWindow* w = front();
  if (!w) return notFound("no window");
  if (r.contains("x") || r.contains("y")) {
    if (!r.contains("x") || !r.contains("y"))
      return error("a point needs x and y", platform::automation::code::kBadArgument);
    tapOnScreen(*w, CGPoint(r.value("x").toDouble(), r.value("y").toDouble()));
    return done();
  }
  if (r.contains("row")) {
    UITableView* table = automation::frontTable(*w);
    auto p = pathOf(r);
    if (!table || !p || !inTable(*table, *p)) return notFound("no such row");
    table->scrollToRowAtIndexPath(*p, UITableViewScrollPosition::None, false);
    UITableViewCell* cell = table->cellForRowAtIndexPath(*p);
    if (!cell) return notFound("the row is not shown");
    automation::tapAt(*w, automation::centerInWindow(*cell));
    return done();
  }
  const QString id = r.value("identifier").toString(), text = r.value("text").toString();
  const Finder find = [&](UIWindow& in) {
    return r.contains("identifier") ? automation::findByIdentifier(in, id) : automation::findTappable(in, text);
  };
  UIView* target = inOverlays(find);
  if (!target) target = r.contains("identifier") ? find(*w) : reach(*w, find);
  if (!target) return notFound("nothing to tap");
  automation::tapAt(windowOf(*target, *w), automation::centerInWindow(*target));
  return done();
}

QJsonObject back(const QJsonObject&) {
  UIWindow* w = front();
  UINavigationController* nav = w ? automation::frontNavigationStack(*w) : nullptr;
  if (!nav) return notFound("nothing to go back from");
  size_t depth = nav->viewControllers().size();
  CGRect area = nav->view()->convertRect(nav->view()->bounds(), nullptr);
  double y = area.midY();
  automation::dragFrom(*w, CGPoint(2, y), CGPoint(std::min(200.0, area.width() - 1), y));
  if (nav->viewControllers().size() >= depth) return notFound("the swipe did not go back");
  return done();
}

QJsonObject pull(const QJsonObject&) {
  UIWindow* w = front();
  UITableView* table = w ? automation::frontTable(*w) : nullptr;
  if (!table) return notFound("no table");
  CGRect area = table->convertRect(table->bounds(), nullptr);
  table->setContentOffset(CGPoint(0, table->minOffsetY()));
  // Below a header view, which may hold a control that would keep the touch.
  // (The room above the content lies under the bar's large title.)
  const double header = table->tableHeaderView() ? table->tableHeaderView()->frame().height() : 0;
  CGPoint from(area.midX(), area.minY() + table->topContentInset() + header + 10);
  automation::dragFrom(*w, from, from + CGPoint(0, 140), 10);
  return done();
}

QJsonObject scroll(const QJsonObject& r) {
  UIWindow* w = front();
  UITableView* table = w ? automation::frontTable(*w) : nullptr;
  auto p = pathOf(r);
  if (!table || !p || !inTable(*table, *p)) return notFound("no such row");
  table->scrollToRowAtIndexPath(*p, UITableViewScrollPosition::Middle, false);
  return done();
}

QJsonObject swipe(const QJsonObject& r) {
  UIWindow* w = front();
  UITableView* table = w ? automation::frontTable(*w) : nullptr;
  auto p = pathOf(r);
  if (!table || !p || !inTable(*table, *p)) return notFound("no such row");
  if (r.value("left").toBool() && r.value("right").toBool())
    return error("a swipe goes left or right", platform::automation::code::kBadArgument);
  table->scrollToRowAtIndexPath(*p, UITableViewScrollPosition::None, false);
  UITableViewCell* cell = table->cellForRowAtIndexPath(*p);
  if (!cell) return notFound("the row is not shown");
  CGRect shown = automation::visibleRectInWindow(*cell);
  const double y = shown.midY();
  CGPoint right(shown.maxX() - 10, y), left(shown.minX() + 40, y);
  if (r.value("right").toBool())
    automation::dragFrom(*w, left, right);
  else
    automation::dragFrom(*w, right, left);
  return done();
}

QJsonObject type(const QJsonObject& r) {
  auto* field = dynamic_cast<UITextField*>(UIApplication::sharedApplication().firstResponder());
  if (!field) return notFound("no text field has the focus");
  field->insertText(r.value("text").toString());
  return done();
}

QJsonObject toggle(const QJsonObject& r) {
  UIWindow* w = front();
  if (!w) return notFound("no window");
  const QString text = r.value("text").toString();
  UIView* sw = reach(*w, [&](UIWindow& in) {
    UIView* found = nullptr;
    automation::findFront(in, [&](UIView& v) {
      auto* cell = dynamic_cast<UITableViewCell*>(&v);
      if (!cell || automation::text(*cell) != text) return false;
      found = automation::findFront(v, [](UIView& c) { return dynamic_cast<UISwitch*>(&c) != nullptr; });
      return found != nullptr;
    });
    return found;
  });
  if (!sw) return notFound("no switch cell with that text");
  automation::tapAt(*w, automation::centerInWindow(*sw));
  return done();
}

bool showing(const QString& text) {
  UIWindow* w = front();
  return w && (inOverlays([&](UIWindow& in) { return automation::findShowing(in, text); }) ||
               automation::findShowing(*w, text));
}

QJsonObject answerPrompt(const QJsonObject& r) {
  for (UIWindow* w : UIApplication::sharedApplication().windows()) {
    auto* prompt = w->isHidden() ? nullptr : dynamic_cast<SystemPrompt*>(w->rootViewController().get());
    if (prompt) return prompt->answerFromOutside(r.value("answer").toString());
  }
  return error("no authentication prompt is open", ui::code::kNoPrompt);
}

QJsonObject screenshot(const QJsonObject& r) {
  UIWindow* w = front();
  if (!w) return notFound("no window");
  double scale = UIScreen::mainScreen().scale();
  CGSize size = w->frame().size;
  QImage image(int(size.width * scale + 0.5), int(size.height * scale + 0.5), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.fill(Qt::black);
  if (hooks().screenshot) hooks().screenshot(true);
  ViewWidget::of(*w)->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
  {
    const auto over = overlays();
    QPainter painter(&image);
    for (auto it = over.rbegin(); it != over.rend(); ++it) ViewWidget::of(**it)->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  }
  if (hooks().screenshot) hooks().screenshot(false);
  const QString path = r.value("path").toString();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return error("cannot encode the screenshot", ui::code::kCannotWrite);
  if (auto refused = platform::automation::writeScreenshot(path, png)) return *refused;
  return {{"path", path}, {"width", image.width()}, {"height", image.height()}};
}
}  // namespace

void registerUIVerbs(platform::automation::Server& server, UIVerbHooks extra) {
  hooks() = std::move(extra);
  server.on(ui::kTree.name, [](const QJsonObject&) {
    UIWindow* w = front();
    if (!w) return notFound("no window");
    // The overlays, over the window's own views, as their last children.
    QJsonObject tree = automation::describeTree(*w);
    QJsonArray children = tree["children"].toArray();
    const auto over = overlays();
    for (auto it = over.rbegin(); it != over.rend(); ++it) children.append(automation::describeTree(**it));
    if (!children.isEmpty()) tree["children"] = children;
    return QJsonObject{{"tree", tree}};
  });
  server.on(ui::kTap.name, [](const QJsonObject& r) {
    QJsonObject answer = tap(r);
    if (!answer.contains("error") && hooks().tapped) hooks().tapped(answer);
    return answer;
  });
  server.on(ui::kBack.name, back);
  server.on(ui::kPull.name, pull);
  server.on(ui::kScroll.name, scroll);
  server.on(ui::kSwipe.name, swipe);
  server.on(ui::kType.name, type);
  server.on(ui::kToggle.name, toggle);
  server.onLater(ui::kWait.name, [](const QJsonObject& r, platform::automation::Responder answer) {
    platform::automation::answerWait(r, showing, std::move(answer));
  });
  server.on(ui::kScreenshot.name, screenshot);
  server.on(ui::kAuth.name, answerPrompt);
  server.on(ui::kQuit.name, [](const QJsonObject&) {
    // After the answer has gone out.
    QTimer::singleShot(50, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    return done();
  });
}

}  // namespace platform::uikit
