// The messaging apps whose notifications whitelist mode can block.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace calmora {

std::vector<std::string> buildMessagingApps();
bool isMessagingApp(const std::vector<std::string>& apps, std::string_view flagKey);

}  // namespace calmora
