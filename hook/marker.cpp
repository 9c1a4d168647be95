#include "hook/marker.h"

#include "hook/process_state.h"

namespace calmora::marker {

namespace {
// The association key: one fixed address for the getter and the setter.
constexpr char kLabelKey = 0;
}  // namespace

rt::Id label(const rt::Id& window) { return rt::getAssociatedObject(window, &kLabelKey); }

void setLabel(const rt::Id& window, rt::Id l) { rt::setAssociatedObject(window, &kLabelKey, std::move(l)); }

void loadNotificationIcon(const rt::Id&) {}

void setStatusBar(const rt::Id& window, rt::Id statusBar) {
  process().previous.setStatusBar(window, std::move(statusBar));
}

}  // namespace calmora::marker
