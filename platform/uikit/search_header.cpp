#include "platform/uikit/search_header.h"

namespace platform::uikit {

SearchHeader::SearchHeader(std::function<void(const QString&)> changed)
    : UIView(CGRect(0, 0, 320, kHeight)), field_(make<UITextField>()), cancel_(make<UIButton>()) {
  field_->setPlaceholder("Search");
  field_->setAccessibilityIdentifier("SearchField");
  field_->setBackgroundColor(UIColor::secondarySystemGroupedBackgroundColor());
  field_->setCornerRadius(10);
  auto* field = field_.get();
  field_->addTarget([field, changed] { changed(field->text()); }, UIControlEvents::EditingChanged);
  cancel_->setTitle("Cancel", UIControlState::Normal);
  cancel_->addTarget(
      [field, changed] {
        field->setText(QString());
        field->resignFirstResponder();
        changed(QString());
      },
      UIControlEvents::TouchUpInside);
  // "Cancel" comes and goes with the editing, the field widening to where it stood.
  for (auto event : {UIControlEvents::EditingDidBegin, UIControlEvents::EditingDidEnd})
    field_->addTarget([this] { setNeedsLayout(); }, event);
  addSubview(field_);
  addSubview(cancel_);
}

bool SearchHeader::cancelShown() const { return field_->isFirstResponder() || !field_->text().isEmpty(); }

void SearchHeader::layoutSubviews() {
  constexpr double kMargin = 15, kCancelWidth = 64;
  const double w = frame().width();
  const bool cancel = cancelShown();
  cancel_->setHidden(!cancel);
  field_->setFrame(CGRect(kMargin, 8, w - 2 * kMargin - (cancel ? kCancelWidth + 8 : 0), 36));
  cancel_->setFrame(CGRect(w - kMargin - kCancelWidth, 8, kCancelWidth, 36));
}

}  // namespace platform::uikit
