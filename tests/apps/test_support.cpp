#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace apps_test {

namespace fs = std::filesystem;
using platform::plist::Value;

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
