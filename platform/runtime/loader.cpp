#include "platform/runtime/loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <system_error>

#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace platform::runtime {

bool filterMatches(const std::filesystem::path& filterPlist, std::string_view bundleIdentifier) {
  auto file = platform::plist::readDictionary(filterPlist);
  auto bundles = file.dict["Filter"]["Bundles"];
  if (bundles.type() != platform::plist::Type::Array) return false;
  for (size_t i = 0; i < bundles.size(); ++i) {
    if (auto s = bundles.at(i).string(); s && *s == bundleIdentifier) return true;
  }
  return false;
}

std::vector<std::string> loadInjectedLibraries(const std::filesystem::path& folder,
                                               std::string_view bundleIdentifier) {
  std::vector<std::filesystem::path> candidates;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    auto ext = entry.path().extension();
    if (ext == ".so" || ext == ".dylib") candidates.push_back(entry.path());
  }
  std::sort(candidates.begin(), candidates.end());

  std::vector<std::string> loaded;
  for (const auto& lib : candidates) {
    auto filter = lib;
    filter.replace_extension(".plist");
    if (!filterMatches(filter, bundleIdentifier)) continue;
    // Kept loaded for the life of the process, as the phone's injector does.
    if (!::dlopen(lib.c_str(), RTLD_NOW | RTLD_GLOBAL)) {
      const char* why = ::dlerror();
      platform::log("loader: cannot load ", lib.string(), ": ", why ? why : "unknown error");
      continue;
    }
    loaded.push_back(lib.filename().string());
  }
  return loaded;
}

}  // namespace platform::runtime
