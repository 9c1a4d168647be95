// The apps a new simulated device comes with.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform::apps {

// Installs the system and messaging apps into ROOT/Applications, each with
// its own generated icon. A bundle folder that already exists, or an app
// whose identifier is already installed under another folder, is left alone.
// Failures are logged and leave no half-written bundle behind.
void installDefaultApps(const std::filesystem::path& root);

// The identifiers installDefaultApps provides, in its order.
std::vector<std::string> defaultAppIdentifiers();

}  // namespace platform::apps
