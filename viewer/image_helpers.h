// The image operations every screen of the viewer uses on record icons and
// on the pane's artwork: one implementation for all of them.
#pragma once

#include <QString>
#include <string_view>

#include "platform/uikit/color.h"
#include "platform/uikit/image.h"

namespace calmora::viewer {

// Base64 text of image data, characters outside the alphabet skipped; nil
// when the text or its bytes are no image.
platform::uikit::UIImagePtr decodeBase64ToImage(std::string_view text);
// The image stretched to exactly `size` points at one pixel a point; nil
// gives a transparent image of that size.
platform::uikit::UIImagePtr imageWithImage(const platform::uikit::UIImagePtr& image, platform::uikit::CGSize size);
// The colour of the image reduced to one pixel, opaque; nil gives black.
platform::uikit::UIColor getAverageColor(const platform::uikit::UIImagePtr& image);
// A file read as an image and scaled, as the tabs and buttons take their artwork.
platform::uikit::UIImagePtr artwork(std::string_view phonePath, double side);

}  // namespace calmora::viewer
