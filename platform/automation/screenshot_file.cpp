#include "platform/automation/screenshot_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

#include "platform/automation/ui_verbs.h"
#include "platform/foundation/file_io.h"

namespace platform::automation {

std::optional<QJsonObject> writeScreenshot(const QString& path, const QByteArray& png) {
  auto refuse = [&](const QString& why) {
    return QJsonObject{{"error", "cannot write '" + path + "': " + why}, {"code", ui::code::kCannotWrite}};
  };
  const std::filesystem::path file = path.toStdString();
  if (!file.is_absolute() || !file.has_filename()) return refuse("not an absolute path of a file");
  struct stat st {};
  if (::lstat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
    return refuse("it is not a regular file");
  if (auto written = replaceAtomically(file, std::string_view(png.constData(), static_cast<size_t>(png.size())));
      !written)
    return refuse(QString::fromStdString(written.error().describe()));
  return std::nullopt;
}

}  // namespace platform::automation
