#include "hook/marker.h"

#include <algorithm>

#include "common/names.h"
#include "hook/host.h"
#include "hook/process_state.h"
#include "hook/settings_snapshot.h"
#include "platform/foundation/notification_center.h"

namespace calmora::marker {

namespace {
// The association key: one fixed address for the getter and the setter.
constexpr char kLabelKey = 0;

platform::Rect markerFrame(double xPercent, double yPercent) {
  platform::Rect bounds = hostapi::mainScreenBounds();
  return platform::Rect{xPercent * bounds.width / 100.0, yPercent * bounds.height / 100.0, 10.0, 10.0};
}

// The coordinate as the pane's signal makes the library read it again: the
// integer, through single precision; 95 when absent.
double reloadedCoordinate(platform::plist::Ref settings, std::string_view key) {
  if (auto n = settings[key].integer()) return static_cast<double>(static_cast<float>(*n));
  return names::settings::kDefaultCoordinate;
}

void showIconHandler() {
  platform::defaultCenter().post(names::signal::kShow);
  auto settings = readSettings();
  SettingsSnapshot& loaded = decisionState().snapshot;
  loaded.coordinatesForX = reloadedCoordinate(settings.ref(), names::settings::kXCoordinates);
  loaded.coordinatesForY = reloadedCoordinate(settings.ref(), names::settings::kYCoordinates);
  hostapi::setFrame(markerState().notificationLabel, markerFrame(loaded.coordinatesForX, loaded.coordinatesForY));
}

bool observesWindow(const runtime::Id& window) {
  auto& windows = markerState().markerWindows;
  std::erase_if(windows, [](const auto& w) { return w.expired(); });
  return std::any_of(windows.begin(), windows.end(), [&](const auto& w) { return w.lock() == window; });
}
}  // namespace

runtime::Id label(const runtime::Id& window) { return runtime::getAssociatedObject(window, &kLabelKey); }

void setLabel(const runtime::Id& window, runtime::Id l) { runtime::setAssociatedObject(window, &kLabelKey, std::move(l)); }

void loadNotificationIcon(const runtime::Id& window) {
  const SettingsSnapshot& loaded = decisionState().snapshot;
  MarkerState& p = markerState();
  runtime::Id l = hostapi::newLabel(markerFrame(loaded.coordinatesForX, loaded.coordinatesForY));
  p.notificationLabel = l;
  hostapi::setBackgroundColor(l, loaded.chosenColor);
  hostapi::setTextAlignment(l, 1);
  hostapi::setSystemFont(l, 12.0);
  hostapi::setTextColor(l, platform::Color{0, 0, 0, 0});
  hostapi::setNumberOfLines(l, 0);
  hostapi::setLineBreakMode(l, 0);
  hostapi::setLabelText(l, std::string(" "));
  hostapi::setCornerRadius(l, 10.0);
  hostapi::setMasksToBounds(l, true);

  // The newest label is the window's only marker: an older one would stay
  // in the window, undriven, with whatever alpha it had.
  hostapi::removeFromSuperview(hostapi::windowLabel(window));
  hostapi::addSubview(window, l);
  hostapi::setWindowLabel(window, l);
  hostapi::setAlpha(hostapi::windowLabel(window), 0.0);

  // The observers act on whatever label the window holds when the signal
  // comes, so one pair per window serves every later label.
  if (observesWindow(window)) return;
  p.markerWindows.push_back(window);
  auto& center = platform::defaultCenter();
  center.addObserver(names::signal::kShow, [window](const platform::Notification&) {
    hostapi::setAlpha(hostapi::windowLabel(window), 1.0);
  });
  center.addObserver(names::signal::kHide, [window](const platform::Notification&) {
    hostapi::setAlpha(hostapi::windowLabel(window), 0.0);
  });
}

void setStatusBar(const runtime::Id& window, runtime::Id statusBar) {
  hostBindings().previous.setStatusBar(window, std::move(statusBar));
  hostapi::loadNotificationIcon(window);
  MarkerState& p = markerState();
  if (p.showIconObserved) return;
  p.showIconObserved = true;
  platform::defaultCenter().addObserver(names::signal::kShowIcon,
                                        [](const platform::Notification&) { showIconHandler(); });
}

}  // namespace calmora::marker
