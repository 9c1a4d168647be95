// AuthProbe: an app that asks the device owner to authenticate, plays a
// sound and starts device programs, for the tests that drive it through the
// automation channel. The label with identifier "status" reads
// "N:OUTCOME:THREAD" after the Nth reply (OUTCOME "success" or the error
// code, THREAD "main" or "other"), or what the last button did.
#include <QCoreApplication>
#include <QThread>
#include <cstdlib>

#include "platform/auth/la_context.h"
#include "platform/foundation/sound.h"
#include "platform/foundation/task.h"
#include "platform/uikit/application.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/label.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/view_controller.h"

using namespace platform::uikit;
using platform::auth::LAContext;
using platform::auth::LAPolicy;
using platform::auth::NSError;

namespace {

constexpr platform::sound::SystemSoundID kProbeSound = 1104;

class ProbeController : public UIViewController {
 public:
  void viewDidLoad() override {
    status_->setAccessibilityIdentifier("status");
    status_->setFrame(CGRect(10, 40, 355, 30));
    view()->addSubview(status_);
    double y = 90;
    auto add = [&](const QString& title, std::function<void()> action) {
      auto button = UIButton::buttonWithType(UIButtonType::System);
      button->setTitle(title, UIControlState::Normal);
      button->setFrame(CGRect(10, y, 355, 40));
      button->addTarget(std::move(action), UIControlEvents::TouchUpInside);
      view()->addSubview(button);
      y += 50;
    };
    add("Biometrics", [this] { evaluate(LAPolicy::DeviceOwnerAuthenticationWithBiometrics, false); });
    add("Owner", [this] { evaluate(LAPolicy::DeviceOwnerAuthentication, false); });
    // As a biometric lock does: a cancel ends the process from the reply.
    add("Verify", [this] { evaluate(LAPolicy::DeviceOwnerAuthenticationWithBiometrics, true); });
    add("Sound", [this] {
      platform::sound::playSystemSound(kProbeSound);
      status_->setText("played");
    });
    add("Respring", [this] {
      platform::NSTask task;
      task.setLaunchPath("/usr/bin/killall");
      task.setArguments({"-9", "backboardd"});
      status_->setText(task.launch() ? "started" : "not started");
    });
  }

 private:
  void evaluate(LAPolicy policy, bool exitOnCancel) {
    auto status = status_;
    int n = ++asked_;
    // A new context each time reads the device description afresh.
    LAContext().evaluatePolicy(policy, "Probe reason", [=](bool success, const std::optional<NSError>& error) {
      if (exitOnCancel && error && error->code == platform::auth::LAError::UserCancel) std::exit(0);
      bool onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
      QString text = QString("%1:%2:%3").arg(n).arg(success ? QString("success") : QString::number(error ? error->code : 0),
                                                    onMain ? "main" : "other");
      DispatchQueue::main().async([status, text] { status->setText(text); });
    });
  }

  std::shared_ptr<UILabel> status_ = make<UILabel>();
  int asked_ = 0;
};

class ProbeDelegate : public UIApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(UIApplication&) override {
    window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
    window_->setRootViewController(std::make_shared<ProbeController>());
    window_->makeKeyAndVisible();
    return true;
  }

 private:
  UIWindowPtr window_;
};

}  // namespace

int main(int argc, char** argv) {
  return UIApplicationMain(argc, argv, [] { return std::make_shared<ProbeDelegate>(); });
}
