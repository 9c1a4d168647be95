// A test app without a screen: BUNDLE/ExitApp DEVICE_ROOT. It serves the
// tree (an empty window) and quit on its channel and records its pid, as
// every app does; with ExitStatus in its Info.plist it exits at once with
// that status instead, and with IgnoreTerm it does not end on SIGTERM.
#include <unistd.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "platform/automation/server.h"
#include "platform/automation/ui_verbs.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"

namespace fs = std::filesystem;
namespace ui = platform::automation::ui;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const fs::path root = argv[1];
  auto info = platform::plist::readDictionary(fs::path(argv[0]).parent_path() / "Info.plist");
  if (auto status = info.dict["ExitStatus"].integer()) return static_cast<int>(*status);
  const std::string bundle = info.dict["CFBundleIdentifier"].text().value_or("");
  if (info.dict["IgnoreTerm"].truthy()) std::signal(SIGTERM, SIG_IGN);

  QCoreApplication app(argc, argv);
  platform::automation::Server server(ui::kVerbs);
  server.on(ui::kTree.name, [](const QJsonObject&) {
    return QJsonObject{{"tree", QJsonObject{{"class", "UIWindow"},
                                            {"frame", QJsonArray{0, 0, 375, 667}},
                                            {"visible", true},
                                            {"enabled", true},
                                            {"children", QJsonArray{}}}}};
  });
  server.on(ui::kQuit.name, [](const QJsonObject&) {
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    return QJsonObject{{"ok", true}};
  });
  if (auto listening = server.listen(root / "run", ui::socketName(bundle)); !listening) {
    std::fprintf(stderr, "ExitApp: %s\n", listening.error().context.c_str());
    return 1;
  }
  const fs::path pidFile = root / "run" / (bundle + ".pid");
  if (!platform::replaceAtomically(pidFile, std::to_string(::getpid()) + "\n")) return 1;
  int status = app.exec();
  std::error_code ec;
  fs::remove(pidFile, ec);
  return status;
}
