#include "platform/uikit/table_cell.h"

#include <QJsonArray>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/screen.h"

namespace platform::uikit {

namespace {
constexpr double kMargin = 15;
constexpr double kVerticalPadding = 11;
constexpr double kMinimumHeight = 44;
constexpr double kDisclosureWidth = 20;
}  // namespace

UITableViewCell::UITableViewCell(UITableViewCellStyle style, QString reuseIdentifier)
    : UIView(CGRect(0, 0, 320, kMinimumHeight)),
      style_(style),
      reuseIdentifier_(std::move(reuseIdentifier)),
      content_(make<UIView>()),
      text_(make<UILabel>()) {
  addSubview(content_);
  content_->addSubview(text_);
  if (style != UITableViewCellStyle::Default) {
    detail_ = make<UILabel>();
    detail_->setTextColor(UIColor::secondaryLabelColor());
    if (style == UITableViewCellStyle::Subtitle) detail_->setFont(UIFont::systemFontOfSize(12));
    if (style == UITableViewCellStyle::Value1) detail_->setTextAlignment(NSTextAlignment::Right);
    content_->addSubview(detail_);
  }
}

UIImageView* UITableViewCell::imageView() {
  if (!image_) {
    image_ = make<UIImageView>();
    content_->insertSubview(image_, 0);
  }
  return image_.get();
}

UIImagePtr UITableViewCell::image() const { return image_ ? image_->image() : nullptr; }

void UITableViewCell::setAccessoryView(UIViewPtr view) {
  if (accessory_) accessory_->removeFromSuperview();
  accessory_ = std::move(view);
  if (accessory_) addSubview(accessory_);
  setNeedsLayout();
}

void UITableViewCell::setSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  setNeedsDisplay();
}

void UITableViewCell::setPlacement(int section, int row, UIEdgeInsets tableSeparatorInset, bool lastInSection) {
  section_ = section;
  row_ = row;
  tableSeparator_ = tableSeparatorInset;
  last_ = lastInSection;
}

double UITableViewCell::textLeft() const {
  auto img = image();
  return img ? kMargin + img->size().width + kMargin : kMargin;
}

double UITableViewCell::textRight() const {
  double right = frame().width() - kMargin;
  if (accessory_) right -= accessory_->frame().width() + 10;
  else if (accessoryType_ != UITableViewCellAccessoryType::None) right -= kDisclosureWidth;
  return right;
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType type) {
  accessoryType_ = type;
  // The indicator takes room from the text.
  setNeedsLayout();
  setNeedsDisplay();
}

void UITableViewCell::setSelectionStyle(UITableViewCellSelectionStyle style) {
  selectionStyle_ = style;
  setNeedsDisplay();
}

void UITableViewCell::setSeparatorInset(std::optional<UIEdgeInsets> inset) {
  separatorInset_ = inset;
  setNeedsDisplay();
}

CGSize UITableViewCell::sizeThatFits(CGSize size) const {
  double width = size.width > 0 ? size.width : frame().width();
  double avail = std::max(10.0, width - textLeft() - (frame().width() - textRight()));
  double h = 0;
  if (style_ == UITableViewCellStyle::Subtitle && detail_) {
    double detail = detail_->heightThatFits(avail);
    h = text_->heightThatFits(avail) + (detail > 0 ? detail + 2 : 0);
  } else if (detail_ && !detail_->text().isEmpty()) {
    h = std::max(text_->heightThatFits(avail), detail_->heightThatFits(detailWidth(avail)));
  } else {
    h = text_->heightThatFits(avail);
  }
  if (auto img = image()) h = std::max(h, img->size().height);
  return CGSize(width, std::max(kMinimumHeight, std::ceil(h + 2 * kVerticalPadding)));
}

double UITableViewCell::detailWidth(double avail) const {
  // Only a detail that wraps needs the main text's width.
  bool wraps = detail_->numberOfLines() != 1 && (detail_->lineBreakMode() == NSLineBreakMode::ByWordWrapping ||
                                                 detail_->lineBreakMode() == NSLineBreakMode::ByCharWrapping);
  if (!wraps) return avail;
  return std::max(10.0, avail - std::min(avail, text_->sizeThatFits(CGSize(avail, 0)).width) - 10);
}

void UITableViewCell::layoutSubviews() {
  CGRect b = bounds();
  content_->setFrame(CGRect(0, 0, b.width(), b.height()));
  if (accessory_) {
    CGSize s = accessory_->frame().size;
    accessory_->setFrame(CGRect(b.width() - kMargin - s.width, (b.height() - s.height) / 2, s.width, s.height));
  }
  if (image_) image_->setHidden(!image());
  if (auto img = image()) {
    CGSize s = img->size();
    image_->setFrame(CGRect(kMargin, (b.height() - s.height) / 2, s.width, s.height));
  }
  double left = textLeft(), right = textRight(), avail = std::max(0.0, right - left);
  double textHeight = text_->heightThatFits(avail);
  if (style_ == UITableViewCellStyle::Subtitle && detail_) {
    double detail = detail_->heightThatFits(avail);
    double total = textHeight + (detail > 0 ? detail + 2 : 0);
    double top = (b.height() - total) / 2;
    text_->setFrame(CGRect(left, top, avail, textHeight));
    detail_->setFrame(CGRect(left, top + textHeight + 2, avail, detail));
  } else if (detail_) {
    double detailWidth = this->detailWidth(avail);
    double detail = detail_->heightThatFits(detailWidth);
    // The main text keeps its whole width; the right-aligned detail is drawn over the rest.
    double textWidth = std::min(avail, text_->sizeThatFits(CGSize(avail, 0)).width);
    text_->setFrame(CGRect(left, (b.height() - textHeight) / 2, textWidth, textHeight));
    detail_->setFrame(CGRect(right - detailWidth, (b.height() - detail) / 2, detailWidth, detail));
  } else {
    text_->setFrame(CGRect(left, (b.height() - textHeight) / 2, avail, textHeight));
  }
  UIView::layoutSubviews();
}

void UITableViewCell::draw(QPainter& painter, const CGRect&) {
  CGRect b(CGPoint(), frame().size);
  bool dark = UIScreen::mainScreen().traitCollection().userInterfaceStyle == UIUserInterfaceStyle::Dark;
  if (selected_ && selectionStyle_ != UITableViewCellSelectionStyle::None)
    painter.fillRect(toQt(b), dark ? QColor(58, 58, 60) : QColor(209, 209, 214));
  if (accessoryType_ != UITableViewCellAccessoryType::None && !accessory_) {
    painter.setPen(QPen(resolve(UIColor::systemGrayColor()), 2));
    double x = b.width() - kMargin - 6, y = b.height() / 2;
    if (accessoryType_ == UITableViewCellAccessoryType::DisclosureIndicator)
      painter.drawPolyline(QPolygonF{{x - 4, y - 7}, {x + 3, y}, {x - 4, y + 7}});
    else
      painter.drawPolyline(QPolygonF{{x - 10, y}, {x - 5, y + 5}, {x + 4, y - 6}});
  }
  UIEdgeInsets inset = separatorInset_.value_or(tableSeparator_);
  double from = inset.left, to = b.width() - std::min(inset.right, b.width());
  if (!last_ && to > from) painter.fillRect(QRectF(from, b.height() - 0.5, to - from, 0.5), resolve(UIColor::separatorColor()));
}

namespace {
[[maybe_unused]] const bool cellRead = automation::readAs<UITableViewCell, UIView>({
    .className = "UITableViewCell",
    .fields =
        [](const UITableViewCell& cell, QJsonObject& node) {
          node["text"] = cell.textLabel()->text();
          node["textColor"] = colorText(cell.textLabel()->textColor());
          if (cell.detailTextLabel()) node["detail"] = cell.detailTextLabel()->text();
          if (auto img = cell.image()) node["image"] = QJsonArray{img->size().width, img->size().height};
          node["section"] = cell.section();
          node["row"] = cell.row();
          if (cell.isSelected()) node["selected"] = true;
        },
    .text = [](const UITableViewCell& cell) { return cell.textLabel()->text(); },
});
}  // namespace

}  // namespace platform::uikit
