// NSBundle: a pane's bundle folder and the resources in it.
#pragma once

#include <QString>
#include <filesystem>

namespace platform::preferences {

class NSBundle {
 public:
  explicit NSBundle(std::filesystem::path path) : path_(std::move(path)) {}
  const std::filesystem::path& bundlePath() const { return path_; }
  // PATH/NAME.TYPE when that file exists, else an empty text. A name that
  // would lead out of the bundle ("..", a folder, a link to a file outside
  // it) finds nothing.
  QString pathForResource(const QString& name, const QString& type) const;

 private:
  std::filesystem::path path_;
};

}  // namespace platform::preferences
