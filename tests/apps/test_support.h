// Fixtures shared by the apps tests: a throw-away device root, captured
// diagnostic lines and small bundle builders.
#pragma once

#include <QColor>
#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/plist.h"

namespace apps_test {

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path applications() const { return path_ / "Applications"; }

 private:
  std::filesystem::path path_;
};

// Captures platform::log lines for its lifetime.
struct CapturedLog {
  CapturedLog();
  ~CapturedLog();
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;
  bool contains(std::string_view fragment) const;
  std::vector<std::string> lines;
};

enum class PlistFormat { Xml, Binary };

// Makes APPS/<folder> with an Info.plist holding `info`.
std::filesystem::path makeBundle(const std::filesystem::path& applications, const std::string& folder,
                                 const platform::plist::Value& info, PlistFormat format = PlistFormat::Xml);
platform::plist::Value infoDict(const std::string& identifier, const std::string& displayName,
                                const std::string& iconFile = "");
void writeSolidPng(const std::filesystem::path& file, QColor colour, int side = 32);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

}  // namespace apps_test
