// Reading a window as automation sees it: the view tree as JSON, and the
// elements a tap, a toggle or a wait looks for. Shared by every GUI process.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>

#include "platform/uikit/view.h"

namespace platform::uikit {
class UITableView;
class UINavigationController;
}

namespace platform::uikit::automation {

// The node of `view` with its children (automation/reading.h says what a
// view's class reports). A hidden view is reported without children.
QJsonObject describeTree(const UIView& view);

// The front-most view under `root` (later subviews are above earlier ones)
// that is visible and satisfies `match`.
UIView* findFront(UIView& root, const std::function<bool(UIView&)>& match);

// The first visible, enabled element whose text or title is `text`.
UIView* findTappable(UIView& root, const QString& text);
// Any visible element showing `text`.
UIView* findShowing(UIView& root, const QString& text);
UIView* findByIdentifier(UIView& root, const QString& identifier);
UITableView* frontTable(UIView& root);
// The front navigation controller that can go back.
UINavigationController* frontNavigationStack(UIView& root);

}  // namespace platform::uikit::automation
