#include "test_support.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/foundation/log.h"

namespace apps_test {

namespace fs = std::filesystem;
using platform::plist::Value;

TempRoot::TempRoot() {
  std::string tmpl = (fs::temp_directory_path() / "apps_test.XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) ADD_FAILURE() << "mkdtemp failed";
  path_ = tmpl;
}

TempRoot::~TempRoot() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

CapturedLog::CapturedLog() {
  platform::setLogSink([](std::string_view l, void* self) { static_cast<CapturedLog*>(self)->lines.emplace_back(l); },
                       this);
}

CapturedLog::~CapturedLog() { platform::setLogSink(nullptr, nullptr); }

bool CapturedLog::contains(std::string_view fragment) const {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(fragment) != l.npos; });
}

fs::path makeBundle(const fs::path& applications, const std::string& folder, const Value& info,
                    PlistFormat format) {
  fs::path bundle = applications / folder;
  fs::create_directories(bundle);
  std::string bytes = format == PlistFormat::Xml ? platform::plist::toXml(info.ref())
                                                 : platform::plist::toBinary(info.ref());
  writeFile(bundle / "Info.plist", bytes);
  return bundle;
}

Value infoDict(const std::string& identifier, const std::string& displayName, const std::string& iconFile) {
  Value info = Value::dict();
  if (!identifier.empty()) info.set("CFBundleIdentifier", Value::string(identifier));
  if (!displayName.empty()) info.set("CFBundleDisplayName", Value::string(displayName));
  if (!iconFile.empty()) info.set("CFBundleIconFile", Value::string(iconFile));
  return info;
}

void writeSolidPng(const fs::path& file, QColor colour, int side) {
  QImage image(side, side, QImage::Format_ARGB32);
  image.fill(colour);
  ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "PNG"));
}

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << file;
}

}  // namespace apps_test
