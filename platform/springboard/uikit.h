// The few UIKit classes the home screen and injected code touch: views with
// frames, alpha and colours, labels, the status-bar window, the main screen
// and images. Views are models; the screen view paints them.
#pragma once

#include <mutex>
#include <vector>

#include "platform/apps/image.h"
#include "platform/runtime/runtime.h"
#include "platform/foundation/host_values.h"

namespace platform::springboard {

class UIView : public runtime::Object {
 public:
  using runtime::Object::Object;

  struct State {
    Rect frame;
    double alpha = 1.0;
    std::optional<Color> background;
    double cornerRadius = 0;
    bool masksToBounds = false;
  };
  State state() const;
  std::vector<std::shared_ptr<UIView>> subviews() const;
  void addSubview(const std::shared_ptr<UIView>& view);
  void removeFromSuperview();
  std::shared_ptr<UIView> superview() const;

  // Runs fn while holding the view's lock.
  template <class Fn>
  void withLock(Fn&& fn) {
    std::lock_guard lock(mutex_);
    fn();
  }

 protected:
  friend struct UIKitRegistration;
  mutable std::mutex mutex_;
  State state_;
  std::vector<std::shared_ptr<UIView>> subviews_;
  std::weak_ptr<UIView> superview_;
};

class UILabel : public UIView {
 public:
  using UIView::UIView;
  struct Text {
    std::string text;
    int alignment = 0;
    double fontSize = 17.0;
    Color textColor{0, 0, 0, 1};
    int numberOfLines = 1;
    int lineBreakMode = 4;
  };
  Text text() const;

 private:
  friend struct UIKitRegistration;
  Text text_;
};

class UIWindow : public UIView {
 public:
  using UIView::UIView;
};

class UIStatusBarWindow : public UIWindow {
 public:
  using UIWindow::UIWindow;
  runtime::Id statusBar() const;

 private:
  friend struct UIKitRegistration;
  runtime::Id statusBar_;
};

// The layer behind a view: corner radius and clipping live on the view.
class CALayer : public runtime::Object {
 public:
  using runtime::Object::Object;
  std::weak_ptr<UIView> view;
};

class UIImage : public runtime::Object {
 public:
  UIImage(runtime::Class* cls, platform::apps::Image image) : runtime::Object(cls), image(std::move(image)) {}
  platform::apps::Image image;
};

class UIScreen : public runtime::Object {
 public:
  UIScreen(runtime::Class* cls, Rect bounds, double scale) : runtime::Object(cls), bounds(bounds), scale(scale) {}
  Rect bounds;
  double scale;
};

// Registers UIView, UILabel, UIWindow, UIStatusBarWindow, CALayer, UIImage
// and UIScreen with their methods. The main screen comes from `mainScreen`.
void registerUIKit();
void setMainScreen(Rect bounds, double scale);
std::shared_ptr<UIScreen> mainScreen();

// A new image object for host code (the icon renderer).
runtime::Id makeImage(platform::apps::Image image);

}  // namespace platform::springboard

namespace platform::springboard {
// UIImagePNGRepresentation: PNG bytes of an image object, empty for nothing.
std::string imagePNGRepresentation(const runtime::Id& image);
}  // namespace platform::springboard
