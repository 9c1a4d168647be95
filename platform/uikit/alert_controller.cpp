#include "platform/uikit/alert_controller.h"

#include <QPainter>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/label.h"

namespace platform::uikit {

namespace {
constexpr double kAlertWidth = 270;
constexpr double kActionHeight = 44;
constexpr double kSheetMargin = 8;

class ActionButton : public UIButton {
 public:
  using UIButton::UIButton;
};

// The dimmed screen with the alert's box; it lays the box out.
class AlertView : public UIView {
 public:
  AlertView(UIAlertController& owner) : owner_(owner), box_(make<UIView>()) {
    setBackgroundColor(UIColor::colorWithWhite(0, 0.2));
    box_->setBackgroundColor(UIColor::dynamic(UIColor::colorWithWhite(0.97, 1), UIColor::colorWithWhite(0.17, 1)));
    box_->setCornerRadius(13);
    box_->setClipsToBounds(true);
    addSubview(box_);
    auto addLabel = [&](const QString& text, UIFont font) {
      if (text.isEmpty()) return;
      auto label = make<UILabel>();
      label->setText(text);
      label->setFont(font);
      label->setNumberOfLines(0);
      label->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
      label->setTextAlignment(NSTextAlignment::Center);
      box_->addSubview(label);
      labels_.push_back(label);
    };
    addLabel(owner.title(), UIFont::boldSystemFontOfSize(17));
    addLabel(owner.message(), UIFont::systemFontOfSize(13));
    for (auto& action : owner.actions()) {
      auto button = make<ActionButton>(UIButtonType::System);
      button->setTitle(action->title(), UIControlState::Normal);
      if (action->style() == UIAlertActionStyle::Destructive)
        button->setTitleColor(UIColor::systemRedColor(), UIControlState::Normal);
      if (action->style() == UIAlertActionStyle::Cancel) button->setTitleFont(UIFont::boldSystemFontOfSize(17));
      UIAlertController* alert = &owner;
      std::weak_ptr<UIAlertAction> chosen = action;
      button->addTarget(
          [alert, chosen] {
            if (auto a = chosen.lock()) alert->choose(a);
          },
          UIControlEvents::TouchUpInside);
      box_->addSubview(button);
      buttons_.push_back(button);
    }
  }

  void layoutSubviews() override {
    bool sheet = owner_.preferredStyle() == UIAlertControllerStyle::ActionSheet;
    double width = sheet ? frame().width() - 2 * kSheetMargin : kAlertWidth;
    double y = labels_.empty() ? 0 : 18;
    for (auto& label : labels_) {
      CGSize s = label->sizeThatFits(CGSize(width - 32, 0));
      label->setFrame(CGRect(16, y, width - 32, s.height));
      y += s.height + 4;
    }
    if (!labels_.empty()) y += 14;
    bool sideBySide = !sheet && buttons_.size() == 2;
    for (size_t i = 0; i < buttons_.size(); ++i) {
      if (sideBySide) buttons_[i]->setFrame(CGRect(i * width / 2, y, width / 2, kActionHeight));
      else buttons_[i]->setFrame(CGRect(0, y + i * kActionHeight, width, kActionHeight));
    }
    y += sideBySide ? kActionHeight : kActionHeight * double(buttons_.size());
    double bottomInset = safeAreaInsets().bottom;
    if (sheet) box_->setFrame(CGRect(kSheetMargin, frame().height() - bottomInset - kSheetMargin - y, width, y));
    else box_->setFrame(CGRect((frame().width() - width) / 2, (frame().height() - y) / 2, width, y));
    UIView::layoutSubviews();
  }
  void draw(QPainter&, const CGRect&) override {}
  void addFields(QJsonObject& node) const {
    node["title"] = owner_.title();
    node["text"] = owner_.message();
    node["style"] = owner_.preferredStyle() == UIAlertControllerStyle::Alert ? "alert" : "actionSheet";
  }
  // Touches outside the box go nowhere: the alert is modal.
  bool touchesBegan(CGPoint) override { return true; }

 private:
  UIAlertController& owner_;
  UIViewPtr box_;
  std::vector<std::shared_ptr<UILabel>> labels_;
  std::vector<UIViewPtr> buttons_;
};

[[maybe_unused]] const bool alertRead =
    automation::readAs<ActionButton, UIButton>({.className = "UIAlertAction"}) &&
    automation::readAs<AlertView, UIView>({
        .className = "UIAlertControllerView",
        .fields = [](const AlertView& v, QJsonObject& node) { v.addFields(node); },
    });
}  // namespace

UIAlertController::UIAlertController(QString title, QString message, UIAlertControllerStyle style)
    : message_(std::move(message)), style_(style) {
  setTitle(title);
}

void UIAlertController::loadView() { setView(make<AlertView>(*this)); }

void UIAlertController::placePresentedView(UIView& window, UIView& view) { view.setFrame(window.bounds()); }

void UIAlertController::choose(const UIAlertActionPtr& action) {
  auto keep = shared_from_this();
  dismissViewControllerAnimated(true);
  action->run();
}

}  // namespace platform::uikit
