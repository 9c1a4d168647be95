// The search field at the top of a list, with "Cancel" beside it while the
// field is being edited or holds text: it scrolls with the rows, so a pull
// down shows it again.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "platform/uikit/controls.h"
#include "platform/uikit/view.h"

namespace calmora::viewer {

class SearchHeader : public platform::uikit::UIView {
 public:
  // `changed` gets the text at each keystroke, and "" at "Cancel".
  explicit SearchHeader(std::function<void(const QString&)> changed);
  platform::uikit::UITextField* field() const { return field_.get(); }
  void layoutSubviews() override;

  static constexpr double kHeight = 52;

 private:
  bool cancelShown() const;
  std::shared_ptr<platform::uikit::UITextField> field_;
  std::shared_ptr<platform::uikit::UIButton> cancel_;
};

}  // namespace calmora::viewer
