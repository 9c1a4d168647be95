#include "platform/uikit/label.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/screen.h"

namespace platform::uikit {

unsigned UIFontDescriptor::symbolicTraits() const {
  return (font_->italic() ? UIFontDescriptorTraitItalic : 0u) | (font_->bold() ? UIFontDescriptorTraitBold : 0u);
}

UIFontDescriptor UIFontDescriptor::fontDescriptorWithSymbolicTraits(unsigned traits) const {
  QFont f = *font_;
  f.setBold(traits & UIFontDescriptorTraitBold);
  f.setItalic(traits & UIFontDescriptorTraitItalic);
  return UIFontDescriptor(std::make_shared<const QFont>(f));
}

UIFont::UIFont(const QFont& font) : font_(std::make_shared<const QFont>(font)) {}

double UIFont::pointSize() const { return font_->pixelSize() > 0 ? font_->pixelSize() : font_->pointSizeF(); }

bool UIFont::isBold() const { return font_->bold(); }

UIFont UIFont::systemFontOfSize(double size) {
  QFont f;
  f.setPointSizeF(size > 0 ? size : 17);
  // Points of the layer are pixels of the widgets: sizes must not follow
  // the desktop's dots per inch.
  f.setPixelSize(int(std::lround(size > 0 ? size : 17)));
  return UIFont(f);
}

UIFont UIFont::boldSystemFontOfSize(double size) {
  QFont f = systemFontOfSize(size).qfont();
  f.setBold(true);
  return UIFont(f);
}

UIFont UIFont::fontWithDescriptor(const UIFontDescriptor& descriptor, double size) {
  QFont f = *descriptor.font_;
  if (size > 0) f.setPixelSize(int(std::lround(size)));
  return UIFont(f);
}

UILabel::UILabel(const CGRect& frame) : UIView(frame) { setUserInteractionEnabled(false); }

void UILabel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  measuredWidth_ = -1;
  setNeedsDisplay();
  if (superview()) superview()->setNeedsLayout();
}
void UILabel::setTextColor(const UIColor& color) {
  if (color == textColor_) return;
  textColor_ = color;
  setNeedsDisplay();
}
void UILabel::setFont(const UIFont& font) {
  font_ = font;
  measuredWidth_ = -1;
  setNeedsDisplay();
  if (superview()) superview()->setNeedsLayout();
}
void UILabel::setNumberOfLines(int lines) {
  lines_ = std::max(0, lines);
  measuredWidth_ = -1;
  setNeedsDisplay();
}
void UILabel::setLineBreakMode(NSLineBreakMode mode) {
  lineBreak_ = mode;
  measuredWidth_ = -1;
  setNeedsDisplay();
}
void UILabel::setTextAlignment(NSTextAlignment alignment) {
  alignment_ = alignment;
  setNeedsDisplay();
}
void UILabel::setAdjustsFontSizeToFitWidth(bool adjusts) {
  adjusts_ = adjusts;
  setNeedsDisplay();
}
void UILabel::setMinimumScaleFactor(double scale) {
  minimumScale_ = std::clamp(scale, 0.0, 1.0);
  setNeedsDisplay();
}

namespace {
int flagsFor(NSTextAlignment a, bool wraps) {
  int f = Qt::AlignVCenter;
  f |= a == NSTextAlignment::Center ? Qt::AlignHCenter : a == NSTextAlignment::Right ? Qt::AlignRight : Qt::AlignLeft;
  if (wraps) f |= Qt::TextWordWrap;
  return f;
}
bool wraps(int lines, NSLineBreakMode mode) {
  return lines != 1 && (mode == NSLineBreakMode::ByWordWrapping || mode == NSLineBreakMode::ByCharWrapping);
}
}  // namespace

CGSize UILabel::sizeThatFits(CGSize size) const {
  if (text_.isEmpty()) return CGSize(0, 0);
  double width = size.width > 0 ? size.width : 1e6;
  if (width == measuredWidth_) return measured_;
  QFontMetricsF m(font_.qfont());
  if (!wraps(lines_, lineBreak_)) {
    measured_ = CGSize(std::min(width, std::ceil(m.horizontalAdvance(text_))), std::ceil(m.height()));
  } else {
    QRectF r = m.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text_);
    double height = r.height();
    if (lines_ > 0) height = std::min(height, lines_ * m.lineSpacing());
    measured_ = CGSize(std::ceil(r.width()), std::ceil(height));
  }
  measuredWidth_ = width;
  return measured_;
}

double UILabel::heightThatFits(double width) const {
  if (text_.isEmpty()) return 0;
  if (wraps(lines_, lineBreak_)) return sizeThatFits(CGSize(width, 0)).height;
  return std::ceil(QFontMetricsF(font_.qfont()).height());
}

namespace {
// The font the text is drawn in at the label's width, and whether the text is then cut.
std::pair<UIFont, bool> drawnFont(const UILabel& label) {
  const double width = label.frame().width();
  const QString& text = label.text();
  const UIFont& font = label.font();
  if (text.isEmpty() || wraps(label.numberOfLines(), label.lineBreakMode())) return {font, false};
  double size = font.pointSize();
  double advance = QFontMetricsF(font.qfont()).horizontalAdvance(text);
  if (label.adjustsFontSizeToFitWidth() && advance > width && advance > 0) {
    // Sizes are whole pixels: start from the proportional size and step
    // down while the line still does not fit.
    const double least = std::max(1.0, std::ceil(size * label.minimumScaleFactor()));
    size = std::max(least, std::floor(size * width / advance));
    UIFont smaller = UIFont::fontWithDescriptor(font.fontDescriptor(), size);
    while ((advance = QFontMetricsF(smaller.qfont()).horizontalAdvance(text)) > width && size > least)
      smaller = UIFont::fontWithDescriptor(font.fontDescriptor(), --size);
    return {smaller, advance > width};
  }
  return {font, advance > width};
}
}  // namespace

void UILabel::draw(QPainter& painter, const CGRect&) {
  if (text_.isEmpty()) return;
  UIFont font = drawnFont(*this).first;
  painter.setFont(font.qfont());
  painter.setPen(resolve(textColor_));
  QRectF r(QPointF(), toQt(frame().size));
  bool wrap = wraps(lines_, lineBreak_);
  if (wrap) {
    painter.drawText(r, flagsFor(alignment_, true), text_);
    return;
  }
  QFontMetricsF m(font.qfont());
  Qt::TextElideMode mode = lineBreak_ == NSLineBreakMode::ByTruncatingHead     ? Qt::ElideLeft
                           : lineBreak_ == NSLineBreakMode::ByTruncatingMiddle ? Qt::ElideMiddle
                           : lineBreak_ == NSLineBreakMode::ByTruncatingTail   ? Qt::ElideRight
                                                                               : Qt::ElideNone;
  painter.drawText(r, flagsFor(alignment_, false), m.elidedText(text_, mode, r.width()));
}

namespace {
[[maybe_unused]] const bool labelRead = automation::readAs<UILabel, UIView>({
    .className = "UILabel",
    .fields =
        [](const UILabel& label, QJsonObject& node) {
          node["text"] = label.text();
          node["textColor"] = colorText(label.textColor());
          if (label.font().isBold()) node["bold"] = true;
          auto [font, cut] = drawnFont(label);
          node["fontSize"] = font.pointSize();
          if (cut) node["truncated"] = true;
        },
    .text = [](const UILabel& label) { return label.text(); },
});
}  // namespace

}  // namespace platform::uikit
