#include "platform/uikit/bar_items.h"

#include "platform/uikit/view_controller.h"

namespace platform::uikit {

UIBarButtonItem::UIBarButtonItem(QString title, UIBarButtonItemStyle, Action action)
    : title_(std::move(title)), action_(std::move(action)) {}
UIBarButtonItem::UIBarButtonItem(UIImagePtr image, UIBarButtonItemStyle, Action action)
    : image_(std::move(image)), action_(std::move(action)) {}
UIBarButtonItem::UIBarButtonItem(UIBarButtonSystemItem item, Action action)
    : system_(item), action_(std::move(action)) {}

QString UIBarButtonItem::title() const {
  switch (system_) {
    case UIBarButtonSystemItem::None: return title_;
    case UIBarButtonSystemItem::Done: return "Done";
    case UIBarButtonSystemItem::Cancel: return "Cancel";
    case UIBarButtonSystemItem::Edit: return "Edit";
    case UIBarButtonSystemItem::Add: return "Add";
    case UIBarButtonSystemItem::Trash: return "Trash";
    case UIBarButtonSystemItem::Refresh: return "Refresh";
  }
  return title_;
}

void UIBarButtonItem::trigger() const {
  if (enabled_ && action_) action_();
}

void UINavigationItem::changed() {
  if (owner_) owner_->navigationItemChanged();
}
void UINavigationItem::setTitle(const QString& title) {
  title_ = title;
  changed();
}
void UINavigationItem::setLargeTitleDisplayMode(UINavigationItemLargeTitleDisplayMode mode) {
  largeTitle_ = mode;
  changed();
}
void UINavigationItem::setRightBarButtonItems(std::vector<UIBarButtonItemPtr> items) {
  right_ = std::move(items);
  changed();
}
void UINavigationItem::setLeftBarButtonItem(UIBarButtonItemPtr item) {
  left_ = std::move(item);
  changed();
}
void UINavigationItem::setHidesBackButton(bool hides) {
  hidesBack_ = hides;
  changed();
}

UITabBarItem::UITabBarItem(QString title, UIImagePtr image, int tag)
    : title_(std::move(title)), image_(std::move(image)), tag_(tag) {}
void UITabBarItem::setTitle(const QString& title) {
  title_ = title;
  changed();
}
void UITabBarItem::setImage(UIImagePtr image) {
  image_ = std::move(image);
  changed();
}
void UITabBarItem::setBadgeValue(std::optional<QString> badge) {
  badge_ = std::move(badge);
  changed();
}

}  // namespace platform::uikit
