#include "platform/uikit/automation/tree.h"

#include <QJsonArray>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/table_view.h"

namespace platform::uikit::automation {

QJsonObject describeTree(const UIView& view) {
  QJsonObject node = describe(view);
  if (view.isHidden()) return node;
  QJsonArray nodes;
  for (UIView* child : children(view)) nodes.append(describeTree(*child));
  if (!nodes.isEmpty()) node["children"] = nodes;
  return node;
}

namespace {
UIView* visit(UIView& view, const std::function<bool(UIView&)>& match) {
  if (view.isHidden() || view.alpha() <= 0) return nullptr;
  auto shown = children(view);
  for (auto it = shown.rbegin(); it != shown.rend(); ++it)
    if (UIView* found = visit(**it, match)) return found;
  return match(view) && isVisibleOnScreen(view) ? &view : nullptr;
}
}  // namespace

UIView* findFront(UIView& root, const std::function<bool(UIView&)>& match) { return visit(root, match); }

UIView* findTappable(UIView& root, const QString& text) {
  // A cell and its label show the same text; the cell is the element.
  UIView* found = findFront(root, [&](UIView& v) {
    return isEnabled(v) && automation::text(v) == text;
  });
  return found;
}

UIView* findShowing(UIView& root, const QString& text) {
  return findFront(root, [&](UIView& v) { return automation::text(v) == text; });
}

UIView* findByIdentifier(UIView& root, const QString& identifier) {
  return findFront(root, [&](UIView& v) { return v.accessibilityIdentifier() == identifier; });
}

UITableView* frontTable(UIView& root) {
  return static_cast<UITableView*>(findFront(root, [](UIView& v) { return dynamic_cast<UITableView*>(&v) != nullptr; }));
}

UINavigationController* frontNavigationStack(UIView& root) {
  UINavigationController* nav = nullptr;
  findFront(root, [&](UIView& v) {
    for (UIViewController* c = v.viewController(); c; c = c->parentViewController())
      if (auto* n = dynamic_cast<UINavigationController*>(c); n && n->viewControllers().size() > 1 &&
                                                             n->interactivePopGestureRecognizer().isEnabled()) {
        nav = n;
        return true;
      }
    return false;
  });
  return nav;
}

}  // namespace platform::uikit::automation
