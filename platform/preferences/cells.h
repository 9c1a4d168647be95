// The cells of a page's rows: each shows the value given to it and hands a
// change to its row's target, in the type its kind hands over.
#pragma once

#include <functional>

#include "platform/foundation/plist.h"
#include "platform/preferences/row.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/table_cell.h"

namespace platform::preferences {

// What a cell's control does with a change of its row's value.
using ValueChanged = std::function<void(plist::Value value, PSSpecifier& row)>;

// A cell for `row` showing `value`, laid out for a table `width` points wide;
// its control hands a change to `changed` while the row exists.
uikit::UITableViewCellPtr makeCell(const PSSpecifierPtr& row, plist::Ref value, double width,
                                   ValueChanged changed);

// The index of `value` among the row's "validValues", or -1.
int indexOfValidValue(const PSSpecifier& row, plist::Ref value);
// The row's "validTitles" item at `index`, else the value's text.
QString titleOfValidValue(const PSSpecifier& row, int index);

// A horizontal slider between "min" and "max"; a tap sets the value at
// that point of the track.
class PSSlider : public uikit::UIControl {
 public:
  PSSlider(double min, double max, double value);
  double value() const { return value_; }
  bool touchesBegan(uikit::CGPoint point) override;
  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 protected:
  void tapped() override;

 private:
  double min_, max_, value_;
  double pressX_ = 0;
};

}  // namespace platform::preferences
