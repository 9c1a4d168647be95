// The header-view protocol: a group's header made from its specifier (the
// plist's "headerCellClass") and asked for its height at the table's width
// before it is laid out.
#pragma once

#include "platform/uikit/view.h"

namespace platform::preferences {

class PSHeaderFooterView {
 public:
  virtual ~PSHeaderFooterView() = default;
  virtual double preferredHeightForWidth(double width) = 0;
};

}  // namespace platform::preferences
