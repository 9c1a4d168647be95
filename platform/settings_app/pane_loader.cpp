#include "platform/settings_app/pane_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"
#include "platform/preferences/bundle.h"
#include "platform/settings_app/pane_entries.h"

namespace platform::settings_app {
namespace fs = std::filesystem;

namespace {
bool plainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}
}  // namespace

const preferences::PaneRegistry* PaneLoader::load(const QString& name) {
  if (auto it = loaded_.find(name); it != loaded_.end()) return it->second.get();
  const std::string bundleName = name.toStdString();
  if (!plainName(bundleName)) {
    log("Preferences: \"", bundleName, "\" is no bundle name");
    return nullptr;
  }
  const fs::path folder = devicePath(std::string(kBundlesFolder) + "/" + bundleName + ".bundle");
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    log("Preferences: the bundle ", folder.string(), " is missing");
    return nullptr;
  }
  auto info = plist::readDictionary(folder / "Info.plist");
  auto executable = info.dict["CFBundleExecutable"].string();
  std::string file = executable ? std::string(*executable) : bundleName;
  if (!plainName(file)) {
    log("Preferences: ", folder.string(), " names no usable CFBundleExecutable");
    return nullptr;
  }
  // Opened first as any file of the bundle is read: a FIFO would hold the
  // loader, and a link out of the bundle would load someone else's code.
  auto library = openRegularFileInside(folder, folder / file, kMaxLogBytes);
  if (!library) {
    log("Preferences: cannot load ", (folder / file).string(), ": ", library.error().describe());
    return nullptr;
  }
  // Local binding: two panes may define classes of the same name.
  void* handle = ::dlopen(("/proc/self/fd/" + std::to_string(*library)).c_str(), RTLD_NOW | RTLD_LOCAL);
  ::close(*library);
  if (!handle) {
    const char* why = ::dlerror();
    log("Preferences: cannot load ", (folder / file).string(), ": ", why ? why : "unknown error");
    return nullptr;
  }
  auto entry = reinterpret_cast<preferences::PaneEntryFunction>(::dlsym(handle, preferences::kPaneEntryFunction));
  if (!entry) {
    log("Preferences: ", (folder / file).string(), " has no ", preferences::kPaneEntryFunction);
    ::dlclose(handle);
    return nullptr;
  }
  auto registry = std::make_unique<preferences::PaneRegistry>(std::make_shared<preferences::NSBundle>(folder));
  entry(*registry);
  // The handle is never closed: the registry's functions live in the library.
  return loaded_.emplace(name, std::move(registry)).first->second.get();
}

}  // namespace platform::settings_app
