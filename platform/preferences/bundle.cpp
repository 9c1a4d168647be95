#include "platform/preferences/bundle.h"

namespace platform::preferences {

QString NSBundle::pathForResource(const QString& name, const QString& type) const {
  if (name.isEmpty() || name.contains('/') || name == ".." || type.contains('/')) return {};
  const QString file = type.isEmpty() ? name : name + "." + type;
  std::filesystem::path path = path_ / file.toStdString();
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) ? QString::fromStdString(path.string()) : QString();
}

}  // namespace platform::preferences
