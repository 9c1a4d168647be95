// UIScrollView: content larger than the view, moved by dragging and the
// wheel; its bounds origin is the content offset.
#pragma once

#include <functional>

#include "platform/uikit/view.h"

namespace platform::uikit {

class UIRefreshControl;

class UIScrollView : public UIView {
 public:
  using UIView::UIView;
  CGSize contentSize() const { return contentSize_; }
  void setContentSize(CGSize size);
  CGPoint contentOffset() const { return bounds().origin; }
  // Kept within the content (and the refresh control's room while it refreshes).
  virtual void setContentOffset(CGPoint offset, bool animated = false);
  double maxOffsetY() const;
  double minOffsetY() const;
  // Room above the content (contentInset.top): what lies over the top of
  // the scroll view there (a large title) shows the content's top beneath it.
  double topContentInset() const { return topInset_; }
  void setTopContentInset(double inset);
  // Told of every change of the offset (one observer: the navigation
  // controller whose bar follows the content).
  void setOffsetObserver(std::function<void()> observer) { offsetObserver_ = std::move(observer); }

  UIRefreshControl* refreshControl() const { return refresh_.get(); }
  void setRefreshControl(std::shared_ptr<UIRefreshControl> control);
  // The refresh control ended: the content moves back to the top.
  void refreshEnded();

  bool touchesBegan(CGPoint point) override;
  void touchesMoved(CGPoint point) override;
  void touchesEnded(CGPoint point) override;
  bool scrollWheel(double deltaY) override;

 protected:
  // The refresh control just above the content's top, the inset above it.
  void placeRefreshControl();
  // A touch that did not move: a tap at `point` (content coordinates).
  virtual void tapAt(CGPoint) {}
  // The offset changed by a drag, the wheel or a call.
  virtual void didScroll() {}

 private:
  CGSize contentSize_;
  double topInset_ = 0;
  std::function<void()> offsetObserver_;
  std::shared_ptr<UIRefreshControl> refresh_;
  CGPoint touchStart_;     // window coordinates: the content moves under the finger
  double offsetAtStart_ = 0;
  bool dragging_ = false;
};

// The pull-to-refresh control at the top of a scroll view.
class UIRefreshControl : public UIView {
 public:
  UIRefreshControl();
  bool isRefreshing() const { return refreshing_; }
  void beginRefreshing();
  void endRefreshing();
  // Target-action of value changed: a person pulled.
  void addTarget(std::function<void()> action) { actions_.push_back(std::move(action)); }
  void pulled();

  void draw(QPainter& painter, const CGRect& rect) override;

  static constexpr double kHeight = 60;

 private:
  std::vector<std::function<void()>> actions_;
  bool refreshing_ = false;
};

}  // namespace platform::uikit
