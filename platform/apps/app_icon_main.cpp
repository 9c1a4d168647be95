// app-icon IDENTIFIER FILE: writes the icon a default app is drawn with, so
// that the build stages its bundle with the icon a device would give it.
#include <cstdio>
#include <string_view>

#include "platform/apps/default_app_icons.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: app-icon IDENTIFIER FILE\n");
    return 2;
  }
  for (const auto& app : platform::apps::defaultApps())
    if (std::string_view(app.identifier) == argv[1]) {
      if (platform::apps::drawDefaultAppIcon(app).save(argv[2], "PNG")) return 0;
      std::fprintf(stderr, "app-icon: cannot write %s\n", argv[2]);
      return 1;
    }
  std::fprintf(stderr, "app-icon: no default app %s\n", argv[1]);
  return 1;
}
