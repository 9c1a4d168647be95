// UIView: a rectangle of the screen with its subviews, drawn by one widget
// that it owns. The view tree (not the widget tree) is what automation reads.
// Views are shared_ptr-owned: a superview keeps its subviews alive.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "platform/uikit/color.h"
#include "platform/uikit/geometry.h"
#include "platform/uikit/layout.h"
#include "platform/uikit/screen.h"

class QPainter;

namespace platform::uikit {

class UIViewController;
class UIWindow;
class ViewWidget;

class UIView : public std::enable_shared_from_this<UIView> {
 public:
  explicit UIView(const CGRect& frame = {});
  virtual ~UIView();
  UIView(const UIView&) = delete;
  UIView& operator=(const UIView&) = delete;

  CGRect frame() const { return frame_; }
  void setFrame(const CGRect& frame);
  // Origin: what the view shows at its top left (a scroll view's offset).
  CGRect bounds() const { return CGRect(boundsOrigin_, frame_.size); }
  void setBoundsOrigin(const CGPoint& origin);
  CGPoint center() const { return frame_.center(); }

  UIView* superview() const { return superview_; }
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
  void addSubview(std::shared_ptr<UIView> view);
  void insertSubview(std::shared_ptr<UIView> view, size_t index);
  void removeFromSuperview();
  void bringSubviewToFront(UIView* view);
  UIWindow* window() const;
  bool isDescendantOf(const UIView* view) const;

  bool isHidden() const { return hidden_; }
  virtual void setHidden(bool hidden);
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<UIColor> color);
  double cornerRadius() const { return cornerRadius_; }  // layer.cornerRadius
  void setCornerRadius(double radius);
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips);
  bool isUserInteractionEnabled() const { return interaction_; }
  void setUserInteractionEnabled(bool enabled);
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  const QString& accessibilityIdentifier() const { return identifier_; }
  void setAccessibilityIdentifier(const QString& id) { identifier_ = id; }
  UIView* viewWithTag(int tag);

  // Layout: anchors, constraints (activated through NSLayoutConstraint),
  // and layoutSubviews, run once per event-loop turn after a change.
  bool translatesAutoresizingMaskIntoConstraints() const { return autoresizing_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool on);
  NSLayoutAnchor leadingAnchor() { return {{this, false}, LayoutAttribute::Leading}; }
  NSLayoutAnchor trailingAnchor() { return {{this, false}, LayoutAttribute::Trailing}; }
  NSLayoutAnchor topAnchor() { return {{this, false}, LayoutAttribute::Top}; }
  NSLayoutAnchor bottomAnchor() { return {{this, false}, LayoutAttribute::Bottom}; }
  NSLayoutAnchor widthAnchor() { return {{this, false}, LayoutAttribute::Width}; }
  NSLayoutAnchor heightAnchor() { return {{this, false}, LayoutAttribute::Height}; }
  NSLayoutAnchor centerXAnchor() { return {{this, false}, LayoutAttribute::CenterX}; }
  NSLayoutAnchor centerYAnchor() { return {{this, false}, LayoutAttribute::CenterY}; }
  UILayoutGuide safeAreaLayoutGuide() { return UILayoutGuide{this}; }
  UIEdgeInsets safeAreaInsets() const;
  void setAdditionalSafeAreaInsets(UIEdgeInsets insets);
  void setNeedsLayout();
  void layoutIfNeeded();
  virtual void layoutSubviews();
  virtual CGSize sizeThatFits(CGSize size) const;
  void sizeToFit();
  void setNeedsDisplay();

  // Coordinates: a point or rectangle of this view in `view`'s (null: the window's).
  CGRect convertRect(const CGRect& rect, const UIView* view) const;
  CGPoint convertPoint(const CGPoint& point, const UIView* view) const;

  // The controller whose view this is, if any (the responder chain's next).
  UIViewController* viewController() const { return controller_; }
  void setViewController(UIViewController* c) { controller_ = c; }
  // The controller of this view or the nearest ancestor's.
  UIViewController* owningController() const;

  // Touches in this view's coordinates. Answer true to receive the rest of
  // the touch; false lets the superview have it.
  virtual bool touchesBegan(CGPoint point);
  virtual void touchesMoved(CGPoint point);
  virtual void touchesEnded(CGPoint point);
  virtual bool scrollWheel(double deltaY);
  // Swipes starting at the window's left edge go to the nearest view that
  // answers true (a navigation stack that can go back).
  virtual bool takesLeftEdgeSwipe() const { return false; }

  virtual void draw(QPainter& painter, const CGRect& rect);
  // Paints the background colour with the corner radius.
  void drawBackground(QPainter& painter);
  // Called when the interface style changes; repaints by default, and the
  // subviews hear it too. A view off screen then (a screen lower in a
  // navigation stack, another tab) hears it as it comes back into a view.
  virtual void traitCollectionDidChange();

 protected:
  // For views that are top-level windows.
  struct TopLevel {};
  UIView(TopLevel, const CGRect& frame);
  virtual void didMoveToSuperview() {}
  // The origin alone: a scroll view moves its subviews itself (placeSubviews)
  // after it has rearranged them for the new offset.
  void setBoundsOriginOnly(const CGPoint& origin) { boundsOrigin_ = origin; }
  void placeSubviews();

 private:
  friend class NSLayoutConstraint;
  friend class ViewWidget;
  void attach(UIView* parent);
  void applyGeometry();
  void applyMask();
  void layoutFromConstraints();
  CGRect itemRect(const LayoutItem& item) const;  // in this view's coordinates

  ViewWidget* widget_;  // null once Qt has deleted it
  CGRect frame_;
  CGPoint boundsOrigin_;
  UIView* superview_ = nullptr;
  std::vector<std::shared_ptr<UIView>> subviews_;
  UIViewController* controller_ = nullptr;
  std::optional<UIColor> backgroundColor_;
  UIEdgeInsets additionalSafeArea_;
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;  // this view is the first item
  QString identifier_;
  double alpha_ = 1.0;
  double cornerRadius_ = 0.0;
  int tag_ = 0;
  bool hidden_ = false;
  UIUserInterfaceStyle style_;  // the interface style the view last heard of
  bool clipsToBounds_ = false;
  bool interaction_ = true;
  bool autoresizing_ = true;
  bool needsLayout_ = true;
  bool layoutScheduled_ = false;
};

using UIViewPtr = std::shared_ptr<UIView>;

// Makes a view of type T: UIKit's alloc/init.
template <class T, class... Args>
std::shared_ptr<T> make(Args&&... args) {
  return std::make_shared<T>(std::forward<Args>(args)...);
}

}  // namespace platform::uikit
