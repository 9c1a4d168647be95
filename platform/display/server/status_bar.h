// The home screen's status bar over the app in front: its areas copied from
// the home screen's frame onto the app's, at the app frame's scale.
#pragma once

#include <QImage>
#include <QSize>
#include <vector>

#include "platform/display/server/requests.h"

namespace platform::display {

// `home` is the home screen's frame and `frame` the app's, both of a
// screen of `points`.
void drawStatusBar(QImage& frame, const QImage& home, const std::vector<Area>& areas, QSize points);

}  // namespace platform::display
