#include "platform/apps/default_apps.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/apps/app_registry.h"
#include "platform/apps/default_app_icons.h"
#include "platform/uikit/image.h"
#include "platform/foundation/log.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"

namespace platform::apps {

namespace fs = std::filesystem;

namespace {

// Builds the bundle in a hidden folder beside its final place and renames it
// into place, so the registry never sees a bundle without its Info.plist and
// a bundle made meanwhile by someone else is not overwritten.
bool installOne(const fs::path& applications, const DefaultApp& app) {
  std::string tmpl = (applications / ("." + std::string(app.folder) + ".XXXXXX")).string();
  if (!::mkdtemp(tmpl.data())) {
    platform::log("DefaultApps: cannot create a folder in ", applications.string(), ": ",
                  std::strerror(errno));
    return false;
  }
  const fs::path staging = tmpl;
  auto abandon = [&](const std::string& why) {
    platform::log("DefaultApps: ", app.identifier, " not installed: ", why);
    std::error_code ec;
    fs::remove_all(staging, ec);
    return false;
  };

  const QByteArray png = platform::uikit::UIImage(drawDefaultAppIcon(app), 1.0).pngData();
  if (png.isEmpty()) return abandon("icon could not be encoded");
  if (auto written = replaceAtomically(staging / "AppIcon.png", png.toStdString()); !written)
    return abandon(written.error().describe());

  plist::Value info = plist::Value::dict();
  info.set("CFBundleIdentifier", plist::Value::string(app.identifier));
  info.set("CFBundleName", plist::Value::string(app.name));
  info.set("CFBundleDisplayName", plist::Value::string(app.name));
  info.set("CFBundleIconFile", plist::Value::string("AppIcon"));
  info.set("CFBundlePackageType", plist::Value::string("APPL"));
  if (auto written = plist::writeXmlAtomically(staging / "Info.plist", info.ref()); !written)
    return abandon(written.error().describe());

  std::error_code ec;
  fs::permissions(staging, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec, ec);
  // No-replace, because a plain rename would silently replace an empty
  // folder of that name made in the meantime.
  const fs::path target = applications / app.folder;
  if (auto moved = renameNoReplace(staging, target); !moved)
    return abandon("cannot move into place: " + moved.error().describe());
  return true;
}

}  // namespace

void installDefaultApps(const fs::path& root) {
  const AppRegistry installed(root);
  const fs::path& applications = installed.applicationsFolder();
  std::error_code ec;
  fs::create_directories(applications, ec);
  if (ec) {
    platform::log("DefaultApps: cannot create ", applications.string(), ": ", ec.message());
    return;
  }
  for (const DefaultApp& app : defaultApps()) {
    if (fs::exists(applications / app.folder, ec) || installed.app(app.identifier)) continue;
    installOne(applications, app);
  }
}

std::vector<std::string> defaultAppIdentifiers() {
  std::vector<std::string> ids;
  for (const DefaultApp& app : defaultApps()) ids.emplace_back(app.identifier);
  return ids;
}

}  // namespace platform::apps
