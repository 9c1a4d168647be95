// UIApplication and the app's main: the process of one app on the device.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/window.h"

namespace platform::uikit {

class UIApplication;

class UIApplicationDelegate {
 public:
  virtual ~UIApplicationDelegate() = default;
  virtual bool didFinishLaunchingWithOptions(UIApplication&) { return true; }
  virtual void applicationDidBecomeActive(UIApplication&) {}
  // The app's main window, which a screen deep in it presents alerts from.
  virtual UIWindow* window() const { return nullptr; }
};

class UIApplication {
 public:
  // The process's one application object.
  static UIApplication& sharedApplication();

  UIApplicationDelegate* delegate() const { return delegate_.get(); }
  void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
  // The windows that exist, in the order they were made.
  const std::vector<UIWindow*>& windows() const { return windows_; }
  UIWindow* keyWindow() const { return key_; }
  // The visible window in front (highest level, shown last; overlays
  // aside), else the key window.
  UIWindow* frontWindow() const;
  const std::string& bundleIdentifier() const { return bundleIdentifier_; }
  void setBundleIdentifier(std::string id) { bundleIdentifier_ = std::move(id); }

  // The device's appearance changed: the screen re-reads the description
  // and every window's controllers hear traitCollectionDidChange.
  void interfaceStyleChanged();
  // The text field that typed text goes to.
  UIView* firstResponder() const { return firstResponder_.lock().get(); }
  void setFirstResponder(UIView* view) {
    firstResponder_ = view ? view->weak_from_this() : std::weak_ptr<UIView>();
  }

 private:
  friend class UIWindow;
  UIApplication() = default;
  std::shared_ptr<UIApplicationDelegate> delegate_;
  std::vector<UIWindow*> windows_;
  UIWindow* key_ = nullptr;
  uint64_t shownCount_ = 0;
  std::string bundleIdentifier_;
  std::weak_ptr<UIView> firstResponder_;
};

using DelegateFactory = std::function<std::shared_ptr<UIApplicationDelegate>()>;

// Runs the app: argv[1] is the device root. Answers the exit status.
int UIApplicationMain(int argc, char** argv, const DelegateFactory& delegateFactory);

}  // namespace platform::uikit
