// UITableViewCell: a row of a table in one of the standard styles.
#pragma once

#include <QString>

#include "platform/uikit/controls.h"
#include "platform/uikit/label.h"

namespace platform::uikit {

enum class UITableViewCellStyle { Default, Value1, Value2, Subtitle };
enum class UITableViewCellSelectionStyle { None, Blue, Gray, Default };
enum class UITableViewCellAccessoryType { None, DisclosureIndicator, Checkmark };

class UITableViewCell : public UIView {
 public:
  UITableViewCell(UITableViewCellStyle style, QString reuseIdentifier);
  UITableViewCellStyle style() const { return style_; }
  const QString& reuseIdentifier() const { return reuseIdentifier_; }

  const UIViewPtr& contentView() const { return content_; }
  UILabel* textLabel() const { return text_.get(); }
  // Null in the default style.
  UILabel* detailTextLabel() const { return detail_.get(); }
  // Made on first use, as most cells have none.
  UIImageView* imageView();
  // The image shown, if any; asks without making the image view.
  UIImagePtr image() const;
  const UIViewPtr& accessoryView() const { return accessory_; }
  void setAccessoryView(UIViewPtr view);
  UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
  void setAccessoryType(UITableViewCellAccessoryType type);
  UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(UITableViewCellSelectionStyle style);
  const std::optional<UIEdgeInsets>& separatorInset() const { return separatorInset_; }  // unset: the table's
  void setSeparatorInset(std::optional<UIEdgeInsets> inset);
  bool isSelected() const { return selected_; }
  void setSelected(bool selected);
  virtual void prepareForReuse() {}

  // Automatic height for a width.
  CGSize sizeThatFits(CGSize size) const override;
  void layoutSubviews() override;
  void draw(QPainter& painter, const CGRect& rect) override;

  // Set by the table when it shows the cell.
  void setPlacement(int section, int row, UIEdgeInsets tableSeparatorInset, bool lastInSection);
  int section() const { return section_; }
  int row() const { return row_; }

 private:
  double textLeft() const;
  double textRight() const;
  double detailWidth(double avail) const;
  UITableViewCellStyle style_;
  QString reuseIdentifier_;
  UIViewPtr content_;
  std::shared_ptr<UILabel> text_;
  std::shared_ptr<UILabel> detail_;
  std::shared_ptr<UIImageView> image_;
  UIViewPtr accessory_;
  UIEdgeInsets tableSeparator_;
  UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryType::None;
  UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyle::Default;
  std::optional<UIEdgeInsets> separatorInset_;
  int section_ = -1, row_ = -1;
  bool last_ = false;
  bool selected_ = false;
};

using UITableViewCellPtr = std::shared_ptr<UITableViewCell>;

}  // namespace platform::uikit
