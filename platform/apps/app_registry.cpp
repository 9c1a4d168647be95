#include "platform/apps/app_registry.h"

#include <unistd.h>

#include <QString>

#include <algorithm>
#include <system_error>
#include <unordered_set>

#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace platform::apps {

namespace fs = std::filesystem;

namespace {

std::optional<fs::file_time_type> modificationTime(const fs::path& folder) {
  std::error_code ec;
  auto t = fs::last_write_time(folder, ec);
  if (ec) return std::nullopt;
  return t;
}

bool isRegularFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

fs::path iconOutside(const fs::path& bundle, std::string_view name) {
  platform::log("AppRegistry: icon file \"", name, "\" of ", bundle.string(),
                " lies outside the bundle; the app has no icon");
  return {};
}

// The icon named by CFBundleIconFile, as a file of the bundle itself: a name
// that climbs out of the bundle, is absolute or leads out through a link is
// refused.
fs::path resolveIcon(const fs::path& bundle, std::string_view name) {
  if (name.empty()) return {};
  fs::path relative = fs::path(name).lexically_normal();
  if (relative.is_absolute() || relative.empty() || *relative.begin() == "..") return iconOutside(bundle, name);
  fs::path candidate = bundle / relative;
  if (!isRegularFile(candidate) && relative.extension() != ".png") candidate += ".png";
  if (isRegularFile(candidate)) return platform::liesInside(bundle, candidate) ? candidate : iconOutside(bundle, name);
  platform::log("AppRegistry: icon file \"", name, "\" of ", bundle.string(),
                " is missing; the app has no icon");
  return {};
}

// The program named by CFBundleExecutable: a plain file name (no folder, so
// nothing outside the bundle is started) of an executable regular file that
// no link leads out of the bundle.
fs::path resolveExecutable(const fs::path& bundle, std::string_view name) {
  if (name.empty()) return {};
  const fs::path file = bundle / name;
  if (name.find('/') != std::string_view::npos || name == "." || name == ".." || !isRegularFile(file) ||
      !platform::liesInside(bundle, file) || ::access(file.c_str(), X_OK) != 0) {
    platform::log("AppRegistry: executable \"", name, "\" of ", bundle.string(),
                  " is not a program file of the bundle; the app cannot be started");
    return {};
  }
  return file;
}

bool gridOrder(const AppInfo& a, const AppInfo& b) {
  int byName = QString::fromStdString(a.displayName)
                   .compare(QString::fromStdString(b.displayName), Qt::CaseInsensitive);
  if (byName != 0) return byName < 0;
  if (a.displayName != b.displayName) return a.displayName < b.displayName;
  return a.bundleIdentifier < b.bundleIdentifier;
}

}  // namespace

bool isValidBundleIdentifier(std::string_view id) {
  if (id.empty() || id.size() > 100 || id.front() == '.') return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
  });
}

std::optional<AppInfo> readAppBundle(const fs::path& bundle) {
  fs::path infoFile = bundle / "Info.plist";
  plist::ReadResult info = plist::readDictionary(infoFile);
  if (info.state == plist::ReadState::Missing) {
    platform::log("AppRegistry: ", bundle.string(), " has no Info.plist; skipped");
    return std::nullopt;
  }
  if (info.state == plist::ReadState::Unreadable) {
    platform::log("AppRegistry: ", infoFile.string(), " is not a readable dictionary plist; skipped");
    return std::nullopt;
  }

  AppInfo app;
  app.bundleIdentifier = info.dict["CFBundleIdentifier"].text().value_or("");
  if (app.bundleIdentifier.empty()) {
    platform::log("AppRegistry: ", infoFile.string(), " has no CFBundleIdentifier; skipped");
    return std::nullopt;
  }
  app.displayName = info.dict["CFBundleDisplayName"].text().value_or("");
  if (app.displayName.empty()) app.displayName = info.dict["CFBundleName"].text().value_or("");
  if (auto icon = info.dict["CFBundleIconFile"].text()) app.iconFile = resolveIcon(bundle, *icon);
  app.bundle = bundle;
  if (auto program = info.dict["CFBundleExecutable"].text()) app.executable = resolveExecutable(bundle, *program);
  return app;
}

AppRegistry::AppRegistry(fs::path root) : applications_(std::move(root) / "Applications") {}

void AppRegistry::scanLocked() const {
  // Taken before reading the folder, so a change made during the scan shows
  // as a newer time at the next lookup.
  scannedTime_ = modificationTime(applications_);
  scanned_ = true;
  apps_.clear();

  std::vector<fs::path> bundles;
  std::error_code ec;
  fs::directory_iterator it(applications_, ec);
  if (ec) {
    if (ec != std::errc::no_such_file_or_directory)
      platform::log("AppRegistry: cannot list ", applications_.string(), ": ", ec.message());
    return;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) {
      platform::log("AppRegistry: listing ", applications_.string(), " stopped: ", ec.message());
      break;
    }
    const fs::path& p = it->path();
    std::error_code typeEc;
    if (p.extension() == ".app" && p.filename().string().front() != '.' && it->is_directory(typeEc))
      bundles.push_back(p);
  }
  // Folder order decides which of two bundles claiming one identifier wins,
  // so the answer does not depend on the file system's listing order.
  std::sort(bundles.begin(), bundles.end());

  std::unordered_set<std::string> seen;
  for (const fs::path& bundle : bundles) {
    std::optional<AppInfo> app = readAppBundle(bundle);
    if (!app) continue;
    if (!seen.insert(app->bundleIdentifier).second) {
      platform::log("AppRegistry: ", bundle.string(), " repeats the identifier ",
                    app->bundleIdentifier, "; skipped");
      continue;
    }
    apps_.push_back(std::move(*app));
  }
  std::sort(apps_.begin(), apps_.end(), gridOrder);
}

void AppRegistry::ensureCurrentLocked() const {
  if (!scanned_ || modificationTime(applications_) != scannedTime_) scanLocked();
}

std::optional<AppInfo> AppRegistry::app(std::string_view bundleIdentifier) const {
  std::lock_guard lock(mutex_);
  ensureCurrentLocked();
  for (const AppInfo& a : apps_)
    if (a.bundleIdentifier == bundleIdentifier) return a;
  return std::nullopt;
}

std::vector<AppInfo> AppRegistry::apps() const {
  std::lock_guard lock(mutex_);
  ensureCurrentLocked();
  return apps_;
}

void AppRegistry::reload() {
  std::lock_guard lock(mutex_);
  scanLocked();
}

}  // namespace platform::apps
