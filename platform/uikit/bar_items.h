// The items bars show: bar button items, navigation items, tab bar items.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/uikit/color.h"
#include "platform/uikit/image.h"

namespace platform::uikit {

class UIViewController;

// Target-action: the action as a callable (the target is what it captures).
using Action = std::function<void()>;

enum class UIBarButtonSystemItem { None, Done, Cancel, Edit, Add, Trash, Refresh };
enum class UIBarButtonItemStyle { Plain, Done };

class UIBarButtonItem {
 public:
  UIBarButtonItem(QString title, UIBarButtonItemStyle style, Action action);
  UIBarButtonItem(UIImagePtr image, UIBarButtonItemStyle style, Action action);
  UIBarButtonItem(UIBarButtonSystemItem item, Action action);

  // What the bar shows: the title, or a system item's name ("Trash").
  QString title() const;
  const UIImagePtr& image() const { return image_; }
  UIBarButtonSystemItem systemItem() const { return system_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  void trigger() const;

 private:
  QString title_;
  UIImagePtr image_;
  UIBarButtonSystemItem system_ = UIBarButtonSystemItem::None;
  Action action_;
  bool enabled_ = true;
};
using UIBarButtonItemPtr = std::shared_ptr<UIBarButtonItem>;

enum class UINavigationItemLargeTitleDisplayMode { Automatic, Always, Never };

class UINavigationItem {
 public:
  explicit UINavigationItem(UIViewController* owner) : owner_(owner) {}
  const QString& title() const { return title_; }
  void setTitle(const QString& title);
  UINavigationItemLargeTitleDisplayMode largeTitleDisplayMode() const { return largeTitle_; }
  void setLargeTitleDisplayMode(UINavigationItemLargeTitleDisplayMode mode);
  const std::vector<UIBarButtonItemPtr>& rightBarButtonItems() const { return right_; }
  void setRightBarButtonItems(std::vector<UIBarButtonItemPtr> items);
  void setRightBarButtonItem(UIBarButtonItemPtr item) { setRightBarButtonItems({std::move(item)}); }
  const UIBarButtonItemPtr& leftBarButtonItem() const { return left_; }
  void setLeftBarButtonItem(UIBarButtonItemPtr item);
  bool hidesBackButton() const { return hidesBack_; }
  void setHidesBackButton(bool hides);

 private:
  void changed();
  UIViewController* owner_;
  QString title_;
  UINavigationItemLargeTitleDisplayMode largeTitle_ = UINavigationItemLargeTitleDisplayMode::Automatic;
  std::vector<UIBarButtonItemPtr> right_;
  UIBarButtonItemPtr left_;
  bool hidesBack_ = false;
};

class UITabBarItem {
 public:
  UITabBarItem(QString title, UIImagePtr image, int tag);
  const QString& title() const { return title_; }
  void setTitle(const QString& title);
  const UIImagePtr& image() const { return image_; }
  void setImage(UIImagePtr image);
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  // nil: no badge. The bar shows whatever text it is given.
  const std::optional<QString>& badgeValue() const { return badge_; }
  void setBadgeValue(std::optional<QString> badge);

 private:
  // The bar that shows the item repaints through onChange_.
  friend class UITabBar;
  friend class UITabBarController;
  void changed() const {
    if (onChange_) onChange_();
  }
  std::function<void()> onChange_;
  QString title_;
  UIImagePtr image_;
  int tag_;
  std::optional<QString> badge_;
};
using UITabBarItemPtr = std::shared_ptr<UITabBarItem>;

}  // namespace platform::uikit
