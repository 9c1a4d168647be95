// The search field at the top of a list, with "Cancel" beside it while the
// field is being edited or holds text: it scrolls with the rows, so a pull
// down shows it again.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "platform/uikit/controls.h"
#include "platform/uikit/view.h"

namespace platform::uikit {

class SearchHeader : public UIView {
 public:
  // `changed` gets the text at each keystroke, and "" at "Cancel".
  explicit SearchHeader(std::function<void(const QString&)> changed);
  UITextField* field() const { return field_.get(); }
  void layoutSubviews() override;

  static constexpr double kHeight = 52;

 private:
  bool cancelShown() const;
  std::shared_ptr<UITextField> field_;
  std::shared_ptr<UIButton> cancel_;
};

}  // namespace platform::uikit
