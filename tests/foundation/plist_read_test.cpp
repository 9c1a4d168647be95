// Reading property-list files as other programs write them, and as they
// should not: every outcome is a dictionary, and an unreadable file says so.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "platform/foundation/plist.h"
#include "tests/foundation/foundation_support.h"

namespace {
namespace fs = std::filesystem;
using namespace platform::plist;
using foundationtest::LogCapture;

class PlistRead : public foundationtest::ScratchFolder {};

const fs::path kSeeds = PLIST_SEEDS_DIR;

TEST_F(PlistRead, SettingsAndLogsWrittenByAnotherProgramReadTheSameAsXmlAndAsBinary) {
  for (const char* name : {"settings", "calls-log", "every-type"}) {
    auto xml = readDictionary(kSeeds / (std::string(name) + ".xml.plist"));
    auto bin = readDictionary(kSeeds / (std::string(name) + ".bin.plist"));
    ASSERT_EQ(xml.state, ReadState::Ok) << name;
    ASSERT_EQ(bin.state, ReadState::Ok) << name;
    EXPECT_EQ(toXml(xml.dict.ref()), toXml(bin.dict.ref())) << name;
  }
  auto settings = readDictionary(kSeeds / "settings.bin.plist").dict;
  EXPECT_TRUE(settings["isTweakEnabled"].truthy());
  EXPECT_EQ(settings["sound"].integer(), 1005);
  EXPECT_TRUE(settings["410FE041-5C4E-48DA-B4DE-04C15EA3DBAC"]["com.apple.mobilephoneCall"].truthy());
  EXPECT_EQ(settings["410FE041-5C4E-48DA-B4DE-04C15EA3DBAC"]["weekdayHour2"].text(), "08:00-17:00");
  auto log = readDictionary(kSeeds / "calls-log.xml.plist").dict;
  EXPECT_EQ(log.size(), 5u);
  EXPECT_EQ(log["4"]["From"].text(), "Caller 4");
  EXPECT_FALSE(log["4"]["isRead"].truthy());
  auto every = readDictionary(kSeeds / "every-type.xml.plist").dict;
  EXPECT_EQ(every["s"].text(), "text \u00e9\u00e8 \U0001F4DE");
  EXPECT_EQ(every["i"].integer(), -42);
  EXPECT_EQ(every["big"].integer(), INT64_MAX);
  EXPECT_EQ(every["a"].at(2).at(1)["four"].integer(), 4);
}

TEST_F(PlistRead, AMissingFileIsAQuietEmptyDictionary) {
  LogCapture log;
  auto r = readDictionary(dir / "absent.plist");
  EXPECT_EQ(r.state, ReadState::Missing);
  EXPECT_TRUE(r.dict.isDict());
  EXPECT_EQ(r.dict.size(), 0u);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(PlistRead, GarbageTruncatedAndNonDictionaryFilesReadEmptyWithADiagnosticLine) {
  std::string xml = readBytes(kSeeds / "settings.xml.plist");
  std::string bin = readBytes(kSeeds / "settings.bin.plist");
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 255 + 1));
  struct Case {
    const char* name;
    std::string bytes;
    platform::ErrorCode why;
  } cases[] = {
      {"empty", "", platform::ErrorCode::Empty},
      {"garbage", garbage, platform::ErrorCode::Malformed},
      {"xml-cut", xml.substr(0, xml.size() / 2), platform::ErrorCode::Malformed},
      {"binary-cut", bin.substr(0, bin.size() - 10), platform::ErrorCode::Malformed},
      {"binary-magic-only", "bplist00", platform::ErrorCode::Malformed},
      {"root-array", readBytes(kSeeds / "root-array.xml.plist"), platform::ErrorCode::NotADictionary},
      {"root-string", readBytes(kSeeds / "root-string.bin.plist"), platform::ErrorCode::NotADictionary},
  };
  for (const auto& c : cases) {
    LogCapture log;
    writeBytes(dir / c.name, c.bytes);
    auto r = readDictionary(dir / c.name);
    EXPECT_EQ(r.state, ReadState::Unreadable) << c.name;
    EXPECT_TRUE(r.dict.isDict()) << c.name;
    EXPECT_EQ(r.dict.size(), 0u) << c.name;
    ASSERT_TRUE(r.error) << c.name;
    EXPECT_EQ(r.error->code, c.why) << c.name << ": " << r.error->context;
    EXPECT_FALSE(log.lines().empty()) << c.name;
  }
}

TEST_F(PlistRead, AFileOfManyMegabytesIsReadWhole) {
  auto d = Value::dict();
  std::string icon(20000, 'A');
  for (int i = 0; i < 1500; ++i) {
    auto rec = Value::dict();
    rec.set("iconData", Value::string(icon));
    rec.set("isRead", Value::boolean(i % 2 == 0));
    d.set(std::to_string(i), std::move(rec));
  }
  ASSERT_FALSE(writeXmlAtomically(dir / "big.plist", d.ref()));
  ASSERT_GT(fs::file_size(dir / "big.plist"), 25u << 20);
  auto start = std::chrono::steady_clock::now();
  auto r = readDictionary(dir / "big.plist");
  auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(r.state, ReadState::Ok);
  EXPECT_EQ(r.dict.size(), 1500u);
  EXPECT_EQ(r.dict["1499"]["iconData"].string()->size(), icon.size());
  // The shape checks are one pass over the bytes; a sanitizer build is slow.
  EXPECT_LT(took, std::chrono::seconds(20));
}

}  // namespace
