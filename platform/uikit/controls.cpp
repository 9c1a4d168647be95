#include "platform/uikit/controls.h"

#include <QJsonArray>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/uikit/appearance.h"
#include "platform/uikit/application.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/view_widget_p.h"

namespace platform::uikit {

void UIControl::addTarget(Action action, UIControlEvents events) {
  if (action) actions_.emplace(events, std::move(action));
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
  auto keep = weak_from_this().lock();
  std::vector<Action> due;
  auto [from, to] = actions_.equal_range(events);
  for (auto it = from; it != to; ++it) due.push_back(it->second);
  for (auto& action : due) action();
}

void UIControl::setEnabled(bool enabled) {
  enabled_ = enabled;
  setNeedsDisplay();
}

bool UIControl::touchesBegan(CGPoint) {
  if (!enabled_) return false;
  highlighted_ = true;
  setNeedsDisplay();
  return true;
}

void UIControl::touchesEnded(CGPoint point) {
  highlighted_ = false;
  setNeedsDisplay();
  if (bounds().contains(point)) tapped();
}

UIButton::UIButton(UIButtonType type) : type_(type) {}

void UIButton::setTitle(const QString& title, UIControlState state) {
  titles_[state] = title;
  setNeedsDisplay();
}
void UIButton::setTitleColor(const UIColor& color, UIControlState state) {
  colors_[state] = color;
  setNeedsDisplay();
}
void UIButton::setImage(UIImagePtr image, UIControlState state) {
  images_[state] = std::move(image);
  setNeedsDisplay();
}

void UIButton::setTitleFont(const UIFont& font) {
  titleFont_ = font;
  setNeedsDisplay();
  // The button's fitting size changed with it.
  if (superview()) superview()->setNeedsLayout();
}

UIControlState UIButton::state() const {
  return !isEnabled() ? UIControlState::Disabled : isHighlighted() ? UIControlState::Highlighted : UIControlState::Normal;
}

QString UIButton::currentTitle() const {
  auto it = titles_.find(state());
  if (it == titles_.end()) it = titles_.find(UIControlState::Normal);
  return it == titles_.end() ? QString() : it->second;
}

UIColor UIButton::currentTitleColor() const {
  auto it = colors_.find(state());
  if (it == colors_.end()) it = colors_.find(UIControlState::Normal);
  if (it != colors_.end()) return it->second;
  if (!isEnabled()) return UIColor::systemGrayColor();
  return type_ == UIButtonType::System ? UIColor::systemBlueColor() : UIColor::whiteColor();
}

CGSize UIButton::sizeThatFits(CGSize) const {
  QFontMetricsF m(titleFont_.qfont());
  return CGSize(std::ceil(m.horizontalAdvance(currentTitle())) + 16, std::max(30.0, std::ceil(m.height()) + 12));
}

void UIButton::draw(QPainter& painter, const CGRect&) {
  QRectF r(QPointF(), toQt(frame().size));
  auto image = images_.count(UIControlState::Normal) ? images_.at(UIControlState::Normal) : nullptr;
  if (image) {
    CGSize s = image->size();
    painter.drawImage(QRectF(r.center() - QPointF(s.width / 2, s.height / 2), toQt(s)), image->pixels());
  }
  QColor color = resolve(currentTitleColor());
  if (type_ == UIButtonType::System && isHighlighted()) color.setAlphaF(0.3f);
  painter.setPen(color);
  painter.setFont(titleFont_.qfont());
  painter.drawText(r, Qt::AlignCenter, currentTitle());
}

UISwitch::UISwitch(const CGRect& frame) : UIControl(CGRect(frame.origin, CGSize(51, 31))) {}

void UISwitch::setOn(bool on, bool) {
  on_ = on;
  setNeedsDisplay();
}

void UISwitch::setOnTintColor(std::optional<UIColor> color) {
  onTint_ = std::move(color);
  setNeedsDisplay();
}

void UISwitch::tapped() {
  setOn(!on_);
  sendActionsForControlEvents(UIControlEvents::ValueChanged);
}

namespace {
UIColor switchTint(const UISwitch& s) {
  if (s.onTintColor()) return *s.onTintColor();
  return UIAppearance::shared().value(AppearanceProperty::SwitchOnTint, s).value_or(UIColor::systemGreenColor());
}
}  // namespace

void UISwitch::draw(QPainter& painter, const CGRect&) {
  QRectF r(0.5, 0.5, 50, 30);
  QPainterPath track;
  track.addRoundedRect(r, 15, 15);
  // The track that is off: the system's fill, stronger in dark so that it
  // stands apart from the cell behind it.
  static const UIColor off = UIColor::dynamic(UIColor::colorWithRed(120 / 255.0, 120 / 255.0, 128 / 255.0, 0.16),
                                              UIColor::colorWithRed(120 / 255.0, 120 / 255.0, 128 / 255.0, 0.32));
  painter.fillPath(track, resolve(on_ ? switchTint(*this) : off));
  QRectF knob(on_ ? 22 : 2.5, 2.5, 26, 26);
  painter.setBrush(Qt::white);
  painter.setPen(QColor(0, 0, 0, 30));
  painter.drawEllipse(knob);
}

UISegmentedControl::UISegmentedControl(std::vector<QString> items) : items_(std::move(items)) {
  setFrame(CGRect(CGPoint(), sizeThatFits({})));
}

QString UISegmentedControl::titleForSegmentAtIndex(int index) const {
  return index >= 0 && index < numberOfSegments() ? items_[size_t(index)] : QString();
}

void UISegmentedControl::setSelectedSegmentIndex(int index) {
  selected_ = index >= 0 && index < numberOfSegments() ? index : -1;
  setNeedsDisplay();
}

CGSize UISegmentedControl::sizeThatFits(CGSize) const {
  return CGSize(std::max(1, numberOfSegments()) * 80.0, 32);
}

bool UISegmentedControl::touchesBegan(CGPoint point) {
  pressX_ = point.x;
  return UIControl::touchesBegan(point);
}

void UISegmentedControl::tapped() {
  if (items_.empty()) return;
  int index = std::clamp(int(pressX_ / (frame().width() / numberOfSegments())), 0, numberOfSegments() - 1);
  if (index == selected_) return;
  setSelectedSegmentIndex(index);
  sendActionsForControlEvents(UIControlEvents::ValueChanged);
}

void UISegmentedControl::setTintColor(std::optional<UIColor> color) {
  tint_ = std::move(color);
  setNeedsDisplay();
}

void UISegmentedControl::draw(QPainter& painter, const CGRect&) {
  if (items_.empty()) return;
  UIColor tint = tint_ ? *tint_
                           : UIAppearance::shared()
                                 .value(AppearanceProperty::SegmentedControlTint, *this)
                                 .value_or(UIColor::systemBlueColor());
  QColor c = resolve(tint);
  // White on the tint in light appearance; in dark the tint is a light
  // variant, on which black may read better.
  bool dark = UIScreen::mainScreen().traitCollection().userInterfaceStyle == UIUserInterfaceStyle::Dark;
  QColor selectedText = dark ? resolve(tint.contrastingTextColor()) : QColor(Qt::white);
  double w = frame().width() / numberOfSegments();
  painter.setFont(UIFont::systemFontOfSize(13).qfont());
  for (int i = 0; i < numberOfSegments(); ++i) {
    QRectF r(i * w + 0.5, 0.5, w - 1, frame().height() - 1);
    if (i == selected_) painter.fillRect(r, c);
    painter.setPen(c);
    painter.drawRect(r);
    painter.setPen(i == selected_ ? selectedText : c);
    painter.drawText(r, Qt::AlignCenter, items_[size_t(i)]);
  }
}

UITextField::UITextField(const CGRect& frame) : UIControl(frame), edit_(new QLineEdit(ViewWidget::of(*this))) {
  // The control takes the touches; the line edit only shows the text.
  edit_->setAttribute(Qt::WA_TransparentForMouseEvents);
  // Keys reach it once it is the first responder, not before: a window
  // shown would otherwise hand it the focus, its cursor blinking.
  edit_->setFocusPolicy(Qt::NoFocus);
  edit_->setFrame(false);
  edit_->setGeometry(QRect(QPoint(), toQt(frame.size).toSize()));
  edit_->show();
  QObject::connect(edit_, &QLineEdit::returnPressed, edit_, [this] { resignFirstResponder(); });
  QObject::connect(edit_, &QLineEdit::textEdited, edit_, [this] {
    ++edits_;
    sendActionsForControlEvents(UIControlEvents::EditingChanged);
  });
  followAppearance();
}

// The line edit draws with the widget palette, not through draw(): its
// colours are set from the interface style, over a clear background so that
// the cell's shows.
void UITextField::followAppearance() {
  QPalette palette = edit_->palette();
  palette.setColor(QPalette::Base, Qt::transparent);
  palette.setColor(QPalette::Text, resolve(UIColor::labelColor()));
  palette.setColor(QPalette::PlaceholderText, resolve(UIColor::secondaryLabelColor()));
  edit_->setPalette(palette);
}

void UITextField::traitCollectionDidChange() {
  followAppearance();
  UIControl::traitCollectionDidChange();
}

void UITextField::layoutSubviews() {
  edit_->setGeometry(QRect(QPoint(), toQt(frame().size).toSize()));
  UIControl::layoutSubviews();
}

QString UITextField::text() const { return edit_->text(); }
void UITextField::setText(const QString& text) { edit_->setText(text); }
QString UITextField::placeholder() const { return edit_->placeholderText(); }
void UITextField::setPlaceholder(const QString& placeholder) { edit_->setPlaceholderText(placeholder); }

bool UITextField::becomeFirstResponder() {
  auto& app = UIApplication::sharedApplication();
  if (app.firstResponder() == this) return true;
  const bool shown = window() != nullptr;
  if (auto* other = dynamic_cast<UITextField*>(app.firstResponder())) other->resignFirstResponder();
  // The other field's end of editing may have taken this one off the screen
  // (its page rebuilt its rows): a field nobody sees takes no keys.
  if (shown && !window()) return false;
  app.setFirstResponder(this);
  edit_->setFocus();
  sendActionsForControlEvents(UIControlEvents::EditingDidBegin);
  return true;
}

bool UITextField::resignFirstResponder() {
  auto& app = UIApplication::sharedApplication();
  if (app.firstResponder() != this) return true;
  app.setFirstResponder(nullptr);
  edit_->clearFocus();
  sendActionsForControlEvents(UIControlEvents::EditingDidEnd);
  return true;
}

bool UITextField::isFirstResponder() const { return UIApplication::sharedApplication().firstResponder() == this; }

void UITextField::insertText(const QString& text) {
  const int before = edits_;
  // A backspace character deletes what is before the cursor, as the key does.
  const QStringList parts = text.split(QChar('\b'));
  for (qsizetype i = 0; i < parts.size(); ++i) {
    if (i > 0) edit_->backspace();
    edit_->insert(parts[i]);
  }
  // Once, whether or not the line edit took the insert as typed.
  if (edits_ == before) sendActionsForControlEvents(UIControlEvents::EditingChanged);
}

UIImageView::UIImageView(UIImagePtr image) : image_(std::move(image)) {
  setUserInteractionEnabled(false);
  if (image_) setFrame(CGRect(CGPoint(), image_->size()));
}

void UIImageView::setImage(UIImagePtr image) {
  image_ = std::move(image);
  setNeedsDisplay();
}

CGSize UIImageView::sizeThatFits(CGSize) const { return image_ ? image_->size() : CGSize(0, 0); }

void UIImageView::draw(QPainter& painter, const CGRect&) {
  if (!image_) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(QPointF(), toQt(frame().size)), image_->pixels());
}

UIVisualEffectView::UIVisualEffectView(UIBlurEffect effect) : effect_(effect), content_(make<UIView>()) {
  addSubview(content_);
}

void UIVisualEffectView::layoutSubviews() {
  content_->setFrame(bounds());
  UIView::layoutSubviews();
}

void UIVisualEffectView::draw(QPainter& painter, const CGRect&) {
  // A translucent material: what lies behind shows through, softened.
  bool dark = UIScreen::mainScreen().traitCollection().userInterfaceStyle == UIUserInterfaceStyle::Dark;
  QColor fill = effect_.style == UIBlurEffectStyle::Light ? QColor(255, 255, 255, 200)
                : dark                                    ? QColor(37, 37, 37, 215)
                                                          : QColor(249, 249, 249, 215);
  painter.fillRect(QRectF(QPointF(), toQt(frame().size)), fill);
}

namespace {
QJsonArray sizeArray(CGSize s) { return QJsonArray{s.width, s.height}; }

[[maybe_unused]] const bool controlsRead =
    automation::readAs<UIControl, UIView>({
        .enabled = [](const UIControl& c) { return c.isEnabled() && c.isUserInteractionEnabled(); },
    }) &&
    automation::readAs<UIButton, UIControl>({
        .className = "UIButton",
        .fields =
            [](const UIButton& b, QJsonObject& node) {
              node["title"] = b.currentTitle();
              node["textColor"] = colorText(b.currentTitleColor());
            },
        .text = [](const UIButton& b) { return b.currentTitle(); },
    }) &&
    automation::readAs<UISwitch, UIControl>({
        .className = "UISwitch",
        .fields =
            [](const UISwitch& s, QJsonObject& node) {
              node["value"] = s.isOn();
              if (s.isOn()) node["backgroundColor"] = colorText(switchTint(s));
            },
    }) &&
    automation::readAs<UISegmentedControl, UIControl>({
        .className = "UISegmentedControl",
        .fields =
            [](const UISegmentedControl& c, QJsonObject& node) {
              node["value"] = c.selectedSegmentIndex();
              QJsonArray titles;
              for (int i = 0; i < c.numberOfSegments(); ++i) titles.append(c.titleForSegmentAtIndex(i));
              node["segments"] = titles;
            },
    }) &&
    automation::readAs<UITextField, UIControl>({
        .className = "UITextField",
        .fields =
            [](const UITextField& f, QJsonObject& node) {
              node["text"] = f.text();
              if (!f.placeholder().isEmpty()) node["placeholder"] = f.placeholder();
              node["focused"] = f.isFirstResponder();
            },
        .text = [](const UITextField& f) { return f.text(); },
    }) &&
    automation::readAs<UIImageView, UIView>({
        .className = "UIImageView",
        .fields =
            [](const UIImageView& v, QJsonObject& node) {
              if (v.image()) node["image"] = sizeArray(v.image()->size());
            },
    }) &&
    automation::readAs<UIVisualEffectView, UIView>({.className = "UIVisualEffectView"});
}  // namespace

}  // namespace platform::uikit
