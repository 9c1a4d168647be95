// The default apps' identities and generated icons. Internal to the apps
// library.
#pragma once

#include <QImage>

#include <span>

class QPainter;

namespace platform::apps {

struct DefaultApp {
  const char* folder;
  const char* identifier;
  const char* name;
  QRgb top;  // background gradient, top to bottom
  QRgb bottom;
  void (*glyph)(QPainter&);
};

std::span<const DefaultApp> defaultApps();

// The app's 180 x 180 pixel icon: a rounded square with its glyph.
QImage drawDefaultAppIcon(const DefaultApp& app);

}  // namespace platform::apps
