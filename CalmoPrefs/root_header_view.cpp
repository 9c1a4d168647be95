#include "CalmoPrefs/root_header_view.h"

#include "platform/preferences/list_controller.h"
#include "platform/uikit/automation/reading.h"

namespace calmoprefs {

namespace uk = platform::uikit;

double HeaderGeometry::preferredHeightForWidth(double width) {
  currentWidth = width;
  return aspectRatio > 0 ? width / aspectRatio - 35.0 : 0.0;
}

uk::CGRect HeaderGeometry::imageFrame(double width) const {
  if (aspectRatio <= 0) return {};
  return {(width - currentWidth) * 0.5, 20.0, currentWidth, currentWidth / aspectRatio};
}

CMRRootHeaderView::CMRRootHeaderView(platform::preferences::PSSpecifier& specifier) {
  setAccessibilityIdentifier("CMRRootHeaderView");
  uk::UIImagePtr image;
  if (auto* page = specifier.target(); page && page->bundle()) {
    auto path = page->bundle()->pathForResource("header", "png");
    if (!path.isEmpty()) image = uk::UIImage::imageWithContentsOfFile(path);
  }
  if (image && image->size().height > 0) geometry_.aspectRatio = image->size().width / image->size().height;
  headerImageView_ = std::make_shared<uk::UIImageView>(image);
  addSubview(headerImageView_);
}

void CMRRootHeaderView::layoutSubviews() {
  UIView::layoutSubviews();
  headerImageView_->setFrame(geometry_.imageFrame(frame().width()));
}

namespace {
[[maybe_unused]] const bool headerRead =
    uk::automation::readAs<CMRRootHeaderView, uk::UIView>({.className = "CMRRootHeaderView"});
}  // namespace

}  // namespace calmoprefs
