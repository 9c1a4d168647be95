// Fixtures shared by the apps tests: a throw-away device root and small
// bundle builders.
#pragma once

#include <QColor>
#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/plist.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace apps_test {

struct TempRoot : testsupport::TempDir {
  TempRoot() : TempDir("calmora-apps-test") {}
  std::filesystem::path applications() const { return path() / "Applications"; }
};

using CapturedLog = testsupport::LogCapture;

enum class PlistFormat { Xml, Binary };

// Makes APPS/<folder> with an Info.plist holding `info`.
std::filesystem::path makeBundle(const std::filesystem::path& applications, const std::string& folder,
                                 const platform::plist::Value& info, PlistFormat format = PlistFormat::Xml);
platform::plist::Value infoDict(const std::string& identifier, const std::string& displayName,
                                const std::string& iconFile = "");
void writeSolidPng(const std::filesystem::path& file, QColor colour, int side = 32);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

}  // namespace apps_test
