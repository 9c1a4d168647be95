#include "hook/messaging_apps.h"

#include <algorithm>
#include <iterator>

#include "common/app_lists.h"

namespace calmora {

std::vector<std::string> buildMessagingApps() {
  return {std::begin(apps::kMessagingApps), std::end(apps::kMessagingApps)};
}

bool isMessagingApp(const std::vector<std::string>& apps, std::string_view flagKey) {
  return std::find(apps.begin(), apps.end(), flagKey) != apps.end();
}

}  // namespace calmora
