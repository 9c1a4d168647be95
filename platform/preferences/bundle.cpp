#include "platform/preferences/bundle.h"

#include "platform/foundation/file_io.h"

namespace platform::preferences {

QString NSBundle::pathForResource(const QString& name, const QString& type) const {
  if (name.isEmpty() || name.contains('/') || name == ".." || type.contains('/')) return {};
  const QString file = type.isEmpty() ? name : name + "." + type;
  std::filesystem::path path = path_ / file.toStdString();
  std::error_code ec;
  // A link may lead anywhere inside the bundle, and nowhere out of it.
  return std::filesystem::is_regular_file(path, ec) && liesInside(path_, path) ? QString::fromStdString(path.string())
                                                                                : QString();
}

}  // namespace platform::preferences
