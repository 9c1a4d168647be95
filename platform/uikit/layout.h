// Layout anchors and constraints: "this edge of a view equals that edge of
// another view (or of a safe-area guide) plus a constant", activated one by one.
#pragma once

#include <memory>

namespace platform::uikit {

class UIView;

enum class LayoutAttribute { Leading, Trailing, Top, Bottom, Width, Height, CenterX, CenterY };

struct LayoutItem {
  UIView* view = nullptr;
  bool safeArea = false;  // the view's safe-area layout guide instead
};

class NSLayoutConstraint;
using NSLayoutConstraintPtr = std::shared_ptr<NSLayoutConstraint>;

class NSLayoutConstraint : public std::enable_shared_from_this<NSLayoutConstraint> {
 public:
  NSLayoutConstraint(LayoutItem first, LayoutAttribute firstAttribute, LayoutItem second,
                     LayoutAttribute secondAttribute, double constant);
  bool isActive() const { return active_; }
  // Active constraints are kept by their first item.
  void setActive(bool active);
  double constant() const { return constant_; }
  void setConstant(double constant);
  const LayoutItem& firstItem() const { return first_; }
  LayoutAttribute firstAttribute() const { return firstAttribute_; }
  const LayoutItem& secondItem() const { return second_; }  // no view: a constant size
  LayoutAttribute secondAttribute() const { return secondAttribute_; }

 private:
  friend class UIView;
  LayoutItem first_;
  LayoutAttribute firstAttribute_;
  LayoutItem second_;
  std::weak_ptr<UIView> secondAlive_;  // set on activation
  LayoutAttribute secondAttribute_;
  double constant_;
  bool active_ = false;
};

struct NSLayoutAnchor {
  LayoutItem item;
  LayoutAttribute attribute;
  NSLayoutConstraintPtr constraintEqualToAnchor(const NSLayoutAnchor& other, double constant = 0) const {
    return std::make_shared<NSLayoutConstraint>(item, attribute, other.item, other.attribute, constant);
  }
  NSLayoutConstraintPtr constraintEqualToConstant(double constant) const {
    return std::make_shared<NSLayoutConstraint>(item, attribute, LayoutItem{}, attribute, constant);
  }
};

struct UILayoutGuide {
  UIView* owningView;
  NSLayoutAnchor leadingAnchor() const { return {{owningView, true}, LayoutAttribute::Leading}; }
  NSLayoutAnchor trailingAnchor() const { return {{owningView, true}, LayoutAttribute::Trailing}; }
  NSLayoutAnchor topAnchor() const { return {{owningView, true}, LayoutAttribute::Top}; }
  NSLayoutAnchor bottomAnchor() const { return {{owningView, true}, LayoutAttribute::Bottom}; }
};

}  // namespace platform::uikit
