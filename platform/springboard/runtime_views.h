// The UIKit classes injected code finds by name (UIView, UILabel, UIWindow,
// UIStatusBarWindow, CALayer, UIScreen, UIImage): runtime classes whose
// objects are thin handles on platform/uikit views and images, so that what
// the code builds is drawn, and read by automation, as any app's views are.
#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/host_values.h"
#include "platform/runtime/runtime.h"
#include "platform/uikit/image.h"
#include "platform/uikit/view.h"

namespace platform::springboard {

// An object of the runtime class UIView (or one derived from it) as injected
// code holds it: a handle on the platform/uikit view it draws through.
class RuntimeView : public runtime::Object {
 public:
  RuntimeView(runtime::Class* cls, std::shared_ptr<uikit::UIView> view) : runtime::Object(cls), view_(std::move(view)) {}
  const std::shared_ptr<uikit::UIView>& view() const { return view_; }
  void releaseView() { view_.reset(); }

 private:
  std::shared_ptr<uikit::UIView> view_;
};

// The status-bar window lies over the whole screen and lets touches through
// to what is below; the frame it is given is only what it answers, since
// the views injected code adds to it show wherever they are placed.
class UIStatusBarWindow : public RuntimeView {
 public:
  explicit UIStatusBarWindow(runtime::Class* cls);
  runtime::Id statusBar() const { return statusBar_; }

 private:
  friend struct RuntimeViews;
  Rect frame_;
  runtime::Id statusBar_;
};

// The layer behind a view: corner radius and clipping live on the view.
class CALayer : public runtime::Object {
 public:
  using runtime::Object::Object;
  std::weak_ptr<uikit::UIView> view;
};

class UIImage : public runtime::Object {
 public:
  UIImage(runtime::Class* cls, uikit::UIImagePtr image) : runtime::Object(cls), image(std::move(image)) {}
  uikit::UIImagePtr image;
};

// Registers the classes with their methods. UIScreen's mainScreen answers
// platform/uikit's main screen, so the process updates that one.
void registerRuntimeViews();

// Drops the platform views of the runtime view objects still held (injected
// code keeps its marker label), so that they end with the home screen that
// shows them, before the application; later messages to them do nothing.
void releaseRuntimeViews();

// A runtime view object over `view`, of the class UIView.
runtime::Id wrapView(std::shared_ptr<uikit::UIView> view);
// A new image object for host code (the icon renderer); nil for nil.
runtime::Id makeImage(uikit::UIImagePtr image);

// platform::Color from a view's colour as drawn in the light appearance.
std::optional<Color> hostColor(const std::optional<uikit::UIColor>& color);

}  // namespace platform::springboard
