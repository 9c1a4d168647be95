// Fonts and UILabel.
#pragma once

#include <QString>
#include <memory>
#include <utility>

#include "platform/uikit/view.h"

class QFont;

namespace platform::uikit {

enum UIFontDescriptorSymbolicTraits : unsigned { UIFontDescriptorTraitItalic = 1u << 0, UIFontDescriptorTraitBold = 1u << 1 };

class UIFontDescriptor {
 public:
  unsigned symbolicTraits() const;
  // A descriptor with exactly these traits.
  UIFontDescriptor fontDescriptorWithSymbolicTraits(unsigned traits) const;

 private:
  friend class UIFont;
  explicit UIFontDescriptor(std::shared_ptr<const QFont> font) : font_(std::move(font)) {}
  std::shared_ptr<const QFont> font_;
};

class UIFont {
 public:
  static UIFont systemFontOfSize(double size);
  static UIFont boldSystemFontOfSize(double size);
  // Size 0 keeps the descriptor's size.
  static UIFont fontWithDescriptor(const UIFontDescriptor& descriptor, double size);
  UIFontDescriptor fontDescriptor() const { return UIFontDescriptor(font_); }
  // Points of the layer are the font's pixels.
  double pointSize() const;
  bool isBold() const;
  // The font as Qt draws it, for the code that draws with Qt.
  const QFont& qfont() const { return *font_; }

 private:
  explicit UIFont(const QFont& font);
  std::shared_ptr<const QFont> font_;
};

enum class NSLineBreakMode { ByWordWrapping, ByCharWrapping, ByClipping, ByTruncatingHead, ByTruncatingTail, ByTruncatingMiddle };
enum class NSTextAlignment { Left, Center, Right };

class UILabel : public UIView {
 public:
  explicit UILabel(const CGRect& frame = {});
  const QString& text() const { return text_; }
  void setText(const QString& text);
  const UIColor& textColor() const { return textColor_; }
  void setTextColor(const UIColor& color);
  const UIFont& font() const { return font_; }
  void setFont(const UIFont& font);
  int numberOfLines() const { return lines_; }  // 0: as many as needed
  void setNumberOfLines(int lines);
  NSLineBreakMode lineBreakMode() const { return lineBreak_; }
  void setLineBreakMode(NSLineBreakMode mode);
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment alignment);
  // A line too wide for the label is drawn smaller, down to the font's size
  // times the minimum scale factor, before it is cut.
  bool adjustsFontSizeToFitWidth() const { return adjusts_; }
  void setAdjustsFontSizeToFitWidth(bool adjusts);
  double minimumScaleFactor() const { return minimumScale_; }
  void setMinimumScaleFactor(double scale);

  // The text's size within `size`'s width (a width of 0: unlimited).
  CGSize sizeThatFits(CGSize size) const override;
  // The height alone: a line that does not wrap needs no measuring of its text.
  double heightThatFits(double width) const;
  void draw(QPainter& painter, const CGRect& rect) override;

 private:
  QString text_;
  UIColor textColor_ = UIColor::labelColor();
  UIFont font_ = UIFont::systemFontOfSize(17);
  int lines_ = 1;
  NSLineBreakMode lineBreak_ = NSLineBreakMode::ByTruncatingTail;
  NSTextAlignment alignment_ = NSTextAlignment::Left;
  bool adjusts_ = false;
  double minimumScale_ = 0;
  // The last measurement: a cell asks again for the same text while it lays out.
  mutable double measuredWidth_ = -1;
  mutable CGSize measured_;
};

using UILabelPtr = std::shared_ptr<UILabel>;

}  // namespace platform::uikit
