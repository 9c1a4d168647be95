// CMRRootHeaderView: the root page's picture header. It asks for the height
// that shows the bundle's image "header" at the table's width less 35
// points, and lets the image start 20 points down and reach into what
// follows.
#pragma once

#include "platform/preferences/header_view.h"
#include "platform/preferences/row.h"
#include "platform/uikit/controls.h"

namespace calmoprefs {

// The header's arithmetic, apart from the views. An image without area
// (missing, or 0 high) has no aspect ratio: the header is then 0 high and
// shows nothing rather than dividing by zero.
struct HeaderGeometry {
  double aspectRatio = 0;  // image width / height; 0 when there is none
  double currentWidth = 0;

  double preferredHeightForWidth(double width);
  // The image view's frame inside a header frame of that width: the image
  // at its proportions for the width last asked about (the height answered
  // plus 35), whatever the frame's height, since the row that holds the
  // header grows to show all of it.
  platform::uikit::CGRect imageFrame(double width) const;
};

class CMRRootHeaderView : public platform::uikit::UIView, public platform::preferences::PSHeaderFooterView {
 public:
  explicit CMRRootHeaderView(platform::preferences::PSSpecifier& specifier);
  double preferredHeightForWidth(double width) override { return geometry_.preferredHeightForWidth(width); }
  void layoutSubviews() override;

 private:
  std::shared_ptr<platform::uikit::UIImageView> headerImageView_;
  HeaderGeometry geometry_;
};

}  // namespace calmoprefs
