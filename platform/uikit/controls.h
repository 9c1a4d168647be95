// Controls: target-action views a person operates.
#pragma once

#include <QString>
#include <map>
#include <vector>

#include "platform/uikit/bar_items.h"
#include "platform/uikit/image.h"
#include "platform/uikit/label.h"
#include "platform/uikit/view.h"

class QLineEdit;

namespace platform::uikit {

enum class UIControlEvents { TouchUpInside, ValueChanged, EditingDidBegin, EditingChanged, EditingDidEnd };
enum class UIControlState { Normal, Highlighted, Disabled, Selected };

class UIControl : public UIView {
 public:
  using UIView::UIView;
  void addTarget(Action action, UIControlEvents events);
  void sendActionsForControlEvents(UIControlEvents events);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  bool isHighlighted() const { return highlighted_; }

  bool touchesBegan(CGPoint point) override;
  void touchesEnded(CGPoint point) override;

 protected:
  // A completed tap inside the control.
  virtual void tapped() { sendActionsForControlEvents(UIControlEvents::TouchUpInside); }

 private:
  std::multimap<UIControlEvents, Action> actions_;
  bool enabled_ = true;
  bool highlighted_ = false;
};

enum class UIButtonType { Custom, System };

class UIButton : public UIControl {
 public:
  explicit UIButton(UIButtonType type = UIButtonType::System);
  static std::shared_ptr<UIButton> buttonWithType(UIButtonType type) { return make<UIButton>(type); }
  void setTitle(const QString& title, UIControlState state);
  void setTitleColor(const UIColor& color, UIControlState state);
  void setImage(UIImagePtr image, UIControlState state);
  QString currentTitle() const;
  UIColor currentTitleColor() const;
  const UIFont& titleFont() const { return titleFont_; }  // titleLabel.font
  void setTitleFont(const UIFont& font);

  CGSize sizeThatFits(CGSize size) const override;
  void draw(QPainter& painter, const CGRect& rect) override;

 private:
  UIControlState state() const;
  UIButtonType type_;
  std::map<UIControlState, QString> titles_;
  std::map<UIControlState, UIColor> colors_;
  std::map<UIControlState, UIImagePtr> images_;
  UIFont titleFont_ = UIFont::systemFontOfSize(17);
};

class UISwitch : public UIControl {
 public:
  explicit UISwitch(const CGRect& frame = {});
  bool isOn() const { return on_; }
  void setOn(bool on, bool animated = false);
  const std::optional<UIColor>& onTintColor() const { return onTint_; }
  void setOnTintColor(std::optional<UIColor> color);

  CGSize sizeThatFits(CGSize) const override { return CGSize(51, 31); }
  void draw(QPainter& painter, const CGRect& rect) override;

 protected:
  void tapped() override;

 private:
  bool on_ = false;
  std::optional<UIColor> onTint_;
};

class UISegmentedControl : public UIControl {
 public:
  explicit UISegmentedControl(std::vector<QString> items);
  int numberOfSegments() const { return int(items_.size()); }
  QString titleForSegmentAtIndex(int index) const;
  int selectedSegmentIndex() const { return selected_; }  // -1: none
  void setSelectedSegmentIndex(int index);
  const std::optional<UIColor>& tintColor() const { return tint_; }
  void setTintColor(std::optional<UIColor> color);

  CGSize sizeThatFits(CGSize) const override;
  bool touchesBegan(CGPoint point) override;
  void draw(QPainter& painter, const CGRect& rect) override;

 protected:
  void tapped() override;

 private:
  std::vector<QString> items_;
  int selected_ = -1;
  std::optional<UIColor> tint_;
  double pressX_ = 0;
};

class UITextField : public UIControl {
 public:
  explicit UITextField(const CGRect& frame = {});
  QString text() const;
  void setText(const QString& text);
  QString placeholder() const;
  void setPlaceholder(const QString& placeholder);
  // Focus: typing goes to the first responder.
  bool becomeFirstResponder();
  bool resignFirstResponder();
  bool isFirstResponder() const;
  // Typed text arrives here (as keys would), then editing-changed; keys
  // typed at the field end in editing-changed too. A backspace character
  // ('\b') deletes before the cursor.
  void insertText(const QString& text);

  void layoutSubviews() override;
  void traitCollectionDidChange() override;

 protected:
  void tapped() override { becomeFirstResponder(); }

 private:
  void followAppearance();
  QLineEdit* edit_;
  int edits_ = 0;  // changes the line edit reported as typed
};

class UIImageView : public UIView {
 public:
  explicit UIImageView(UIImagePtr image = nullptr);
  const UIImagePtr& image() const { return image_; }
  void setImage(UIImagePtr image);
  CGSize sizeThatFits(CGSize) const override;
  void draw(QPainter& painter, const CGRect& rect) override;

 private:
  UIImagePtr image_;
};

enum class UIBlurEffectStyle { Light, SystemMaterial };
struct UIBlurEffect {
  UIBlurEffectStyle style;
};

// A blurred copy of what lies behind it, under a translucent tint, with a
// content view for what it holds.
class UIVisualEffectView : public UIView {
 public:
  explicit UIVisualEffectView(UIBlurEffect effect);
  const UIViewPtr& contentView() const { return content_; }
  UIBlurEffect effect() const { return effect_; }
  void layoutSubviews() override;
  void draw(QPainter& painter, const CGRect& rect) override;

 private:
  UIBlurEffect effect_;
  UIViewPtr content_;
};

}  // namespace platform::uikit
