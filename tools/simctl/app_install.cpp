#include "tools/simctl/app_install.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "platform/apps/app_registry.h"
#include "platform/automation/ui_verbs.h"
#include "platform/foundation/file_io.h"

namespace simctl {
namespace fs = std::filesystem;

std::optional<std::string> installBundle(const fs::path& dir, const fs::path& sourceArg) {
  fs::path source = fs::absolute(sourceArg).lexically_normal();
  if (source.filename().empty()) source = source.parent_path();
  std::error_code ec;
  if (source.extension() != ".app" || !fs::is_directory(source, ec)) {
    std::fprintf(stderr, "simctl install: %s is not a NAME.app folder\n", source.c_str());
    return std::nullopt;
  }
  auto app = platform::apps::readAppBundle(source);
  if (!app || !platform::apps::isValidBundleIdentifier(app->bundleIdentifier)) {
    std::fprintf(stderr, "simctl install: %s has no usable bundle identifier\n", source.c_str());
    return std::nullopt;
  }
  if (!platform::automation::ui::canServe(app->bundleIdentifier)) {
    std::fprintf(stderr,
                 "simctl install: %s not installed: its bundle identifier has %zu characters, and an app's control "
                 "socket can be named by at most %zu\n",
                 source.c_str(), app->bundleIdentifier.size(),
                 platform::automation::kMaxSocketFileName - (sizeof(".sock") - 1));
    return std::nullopt;
  }
  const fs::path folder = dir / "Applications";
  fs::create_directories(folder, ec);
  const std::string name = source.filename().string();
  const std::string tag = "." + name + "." + std::to_string(::getpid());
  // Copied under a dot name, which the app registry passes over, and then
  // renamed into place: the home screen never reads half a bundle. Links
  // stay links; the registry refuses an icon or program they lead out to.
  const fs::path staging = folder / (tag + ".new"), old = folder / (tag + ".old"), target = folder / name;
  fs::remove_all(staging, ec);
  fs::copy(source, staging, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec && fs::exists(fs::symlink_status(target))) fs::rename(target, old, ec);
  if (!ec) fs::rename(staging, target, ec);
  if (ec) {
    std::fprintf(stderr, "simctl install: cannot install %s into %s: %s\n", source.c_str(), folder.c_str(),
                 ec.message().c_str());
    fs::remove_all(staging, ec);
    if (fs::exists(fs::symlink_status(old)) && !fs::exists(fs::symlink_status(target))) fs::rename(old, target, ec);
    return std::nullopt;
  }
  fs::remove_all(old, ec);
  return app->bundleIdentifier;
}

void installBundlesFrom(const fs::path& dir, const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".app") installBundle(dir, it->path());
}

namespace {

// Copies `source` to `target` under a dot name first and renames it into
// place, so a reader never sees half a bundle or entry.
bool replaceWithCopy(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  const fs::path staging = target.parent_path() / ("." + target.filename().string() + "." + std::to_string(::getpid()));
  fs::remove_all(staging, ec);
  fs::copy(source, staging, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec && fs::is_directory(target)) fs::remove_all(target, ec);
  if (!ec) fs::rename(staging, target, ec);
  if (ec) {
    std::fprintf(stderr, "simctl: cannot install %s: %s\n", target.c_str(), ec.message().c_str());
    fs::remove_all(staging, ec);
    return false;
  }
  return true;
}

}  // namespace

void installPanesFrom(const fs::path& dir, const fs::path& folder) {
  for (const char* sub : {"Library/PreferenceBundles", "Library/PreferenceLoader/Preferences"}) {
    std::error_code ec;
    for (fs::directory_iterator it(folder / sub, ec), end; !ec && it != end; it.increment(ec))
      if (it->path().extension() == ".bundle" || it->path().extension() == ".plist")
        replaceWithCopy(it->path(), dir / sub / it->path().filename());
  }
}

}  // namespace simctl
