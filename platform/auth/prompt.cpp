#include "platform/auth/prompt.h"

#include <memory>
#include <vector>

#include "platform/automation/server.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/automation/system_prompt.h"
#include "platform/uikit/window.h"

namespace platform::auth {

using namespace platform::uikit;

namespace {

class Session;

// One face of the prompt; a failed attempt shows a new one saying so.
class PromptController : public UIAlertController, public SystemPrompt {
 public:
  PromptController(QString title, QString message, std::weak_ptr<Session> session)
      : UIAlertController(std::move(title), std::move(message), UIAlertControllerStyle::Alert),
        session_(std::move(session)) {}
  QJsonObject answerFromOutside(const QString& answer) override;

 private:
  std::weak_ptr<Session> session_;
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  explicit Session(PromptRequest request) : request_(std::move(request)) {}

  // The open prompt's session, kept until it is answered. Never destroyed,
  // like the application: a reply may call exit() off the main thread.
  static std::shared_ptr<Session>& open() {
    static auto* session = new std::shared_ptr<Session>;
    return *session;
  }

  void show() {
    window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
    window_->setWindowLevel(UIWindowLevelAlert + 1);
    // Biometry that is not enrolled leaves the passcode to authenticate with.
    present(request_.device.enrolled ? QString::fromStdString(request_.device.biometryName) : "Passcode");
    window_->setHidden(false);
  }

  void finish(std::optional<int> code) {
    if (finished_) return;
    finished_ = true;
    window_->setHidden(true);
    auto self = shared_from_this();
    if (open() == self) open().reset();
    // The window and its controllers go on a later turn: a button of the
    // prompt may be the one whose handler is running.
    DispatchQueue::main().async([self] { self->window_->setRootViewController(nullptr); });
    request_.done(code);
  }

  void failAttempt() {
    if (++failures_ >= kAttemptsPerPrompt) return finish(LAError::AuthenticationFailed);
    present("Try Again");
  }

 private:
  void present(const QString& title) {
    auto prompt = std::make_shared<PromptController>(title, request_.reason, weak_from_this());
    std::weak_ptr<Session> weak = weak_from_this();
    auto add = [&](const char* text, UIAlertActionStyle style, std::function<void(Session&)> act) {
      prompt->addAction(std::make_shared<UIAlertAction>(text, style, [weak, act](const UIAlertAction&) {
        if (auto s = weak.lock()) act(*s);
      }));
    };
    add("Authenticate", UIAlertActionStyle::Default, [](Session& s) { s.finish(std::nullopt); });
    add("Fail Attempt", UIAlertActionStyle::Destructive, [](Session& s) { s.failAttempt(); });
    if (request_.device.passcode)
      add("Enter Password", UIAlertActionStyle::Default,
          [](Session& s) { s.finish(passwordOutcome(s.request_.policy)); });
    add("Cancel", UIAlertActionStyle::Cancel, [](Session& s) { s.finish(LAError::UserCancel); });
    if (auto old = window_->rootViewController()) retired_.push_back(old);
    window_->setRootViewController(prompt);
  }

  PromptRequest request_;
  UIWindowPtr window_;
  std::vector<UIViewControllerPtr> retired_;
  int failures_ = 0;
  bool finished_ = false;
};

QJsonObject PromptController::answerFromOutside(const QString& answer) {
  auto session = session_.lock();
  bool isNumber = false;
  const int code = answer.toInt(&isNumber);
  if (!session || (answer != "success" && !(isNumber && isAuthErrorCode(code))))
    return {{"error", "the answer is success or an error code from -1 to -9"},
            {"code", platform::automation::code::kBadArgument}};
  session->finish(answer == "success" ? std::nullopt : std::optional<int>(code));
  return {{"done", true}};
}

}  // namespace

void showPrompt(PromptRequest request) {
  auto& open = Session::open();
  if (auto earlier = open) earlier->finish(LAError::SystemCancel);
  open = std::make_shared<Session>(std::move(request));
  open->show();
}

}  // namespace platform::auth
