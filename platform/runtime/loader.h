// The injection loader: at start a host process loads every library of the
// injection folder whose filter plist names the host's bundle identifier.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform::runtime {

// Device path of the injection folder.
inline constexpr std::string_view kInjectionFolder = "/Library/MobileSubstrate/DynamicLibraries";

// Loads, in name order, each LIB.so (or LIB.dylib) of `folder` whose LIB.plist
// lists `bundleIdentifier` under Filter/Bundles. Loading runs the library's
// initialisers. Answers the file names of the libraries loaded; a library
// that fails to load is reported with a diagnostic line and skipped.
std::vector<std::string> loadInjectedLibraries(const std::filesystem::path& folder,
                                               std::string_view bundleIdentifier);

// Whether a filter plist lists the bundle identifier under Filter/Bundles.
bool filterMatches(const std::filesystem::path& filterPlist, std::string_view bundleIdentifier);

}  // namespace platform::runtime
