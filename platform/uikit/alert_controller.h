// UIAlertController: a title, a message and actions, presented over the
// presenter as an alert (centred) or an action sheet (at the bottom).
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "platform/uikit/view_controller.h"

namespace platform::uikit {

enum class UIAlertControllerStyle { ActionSheet, Alert };
enum class UIAlertActionStyle { Default, Cancel, Destructive };

class UIAlertAction {
 public:
  using Handler = std::function<void(const UIAlertAction&)>;
  UIAlertAction(QString title, UIAlertActionStyle style, Handler handler)
      : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}
  const QString& title() const { return title_; }
  UIAlertActionStyle style() const { return style_; }
  void run() const {
    if (handler_) handler_(*this);
  }

 private:
  QString title_;
  UIAlertActionStyle style_;
  Handler handler_;
};
using UIAlertActionPtr = std::shared_ptr<UIAlertAction>;

class UIAlertController : public UIViewController {
 public:
  UIAlertController(QString title, QString message, UIAlertControllerStyle style);
  static std::shared_ptr<UIAlertController> alertControllerWithTitle(QString title, QString message,
                                                                     UIAlertControllerStyle style) {
    return std::make_shared<UIAlertController>(std::move(title), std::move(message), style);
  }
  void addAction(UIAlertActionPtr action) { actions_.push_back(std::move(action)); }
  const std::vector<UIAlertActionPtr>& actions() const { return actions_; }
  const QString& message() const { return message_; }
  UIAlertControllerStyle preferredStyle() const { return style_; }
  // Dismisses the alert, then runs the action's handler.
  void choose(const UIAlertActionPtr& action);

  void loadView() override;

 protected:
  void placePresentedView(UIView& window, UIView& view) override;

 private:
  QString message_;
  UIAlertControllerStyle style_;
  std::vector<UIAlertActionPtr> actions_;
};

}  // namespace platform::uikit
