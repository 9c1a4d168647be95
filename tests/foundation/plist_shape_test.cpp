// Files shaped to break the property-list library (too deep, expanding,
// cyclic, holding NUL characters) are refused before it reads them; a
// repeated key reads as an XML reader would read it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/plist_shape.h"
#include "tests/support/log_capture.h"

namespace {

std::optional<platform::ErrorCode> codeOf(const platform::plist::ReadResult& r) {
  if (!r.error) return std::nullopt;
  return r.error->code;
}
using namespace platform::plist;

// A binary plist put together object by object, with 4-byte references and
// offsets, so that a test can write shapes no ordinary writer makes.
class Bplist {
 public:
  size_t add(std::string object) {
    objects_.push_back(std::move(object));
    return objects_.size() - 1;
  }
  size_t ascii(std::string_view text) { return add(sized(0x50, text.size()) + std::string(text)); }
  size_t utf16(std::u16string_view text) {
    std::string o = sized(0x60, text.size());
    for (char16_t c : text) o += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    return add(o);
  }
  size_t boolean(bool b) { return add(std::string(1, b ? '\x09' : '\x08')); }
  size_t array(const std::vector<size_t>& items) { return add(sized(0xA0, items.size()) + refs(items)); }
  size_t dict(const std::vector<size_t>& keys, const std::vector<size_t>& values) {
    return add(sized(0xD0, keys.size()) + refs(keys) + refs(values));
  }
  // An array whose references are filled in later (for cycles).
  size_t placeholderArray(size_t n) { return array(std::vector<size_t>(n, 0)); }
  void setArray(size_t index, const std::vector<size_t>& items) {
    objects_[index] = sized(0xA0, items.size()) + refs(items);
  }

  std::string build(size_t root) const {
    std::string out = "bplist00";
    std::vector<size_t> offsets;
    for (const auto& o : objects_) {
      offsets.push_back(out.size());
      out += o;
    }
    size_t table = out.size();
    for (size_t off : offsets) out += be(off, 4);
    out += std::string(6, '\0');
    out += '\x04';  // offset size
    out += '\x04';  // reference size
    out += be(objects_.size(), 8) + be(root, 8) + be(table, 8);
    return out;
  }

 private:
  static std::string be(uint64_t v, int width) {
    std::string s;
    for (int i = width - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
  }
  static std::string sized(uint8_t kind, size_t n) {
    if (n < 15) return std::string(1, static_cast<char>(kind | n));
    return std::string(1, static_cast<char>(kind | 0x0F)) + "\x13" + be(n, 8);
  }
  static std::string refs(const std::vector<size_t>& items) {
    std::string s;
    for (size_t i : items) s += be(i, 4);
    return s;
  }
  std::vector<std::string> objects_;
};

// A dictionary {"a": [[[...]]]} nested `levels` deep.
std::string nestedBinary(int levels) {
  Bplist b;
  size_t inner = b.array({});
  for (int i = 1; i < levels; ++i) inner = b.array({inner});
  return b.build(b.dict({b.ascii("a")}, {inner}));
}

std::string nestedXml(int levels, std::string_view between = "") {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>a</key>";
  for (int i = 0; i < levels; ++i) (s += "<array>") += between;
  for (int i = 0; i < levels; ++i) s += "</array>";
  return s + "</dict></plist>";
}

int depthOf(Ref node) {
  int deepest = 0;
  if (node.type() == Type::Array)
    for (size_t i = 0; i < node.size(); ++i) deepest = std::max(deepest, depthOf(node.at(i)));
  node.forEach([&](std::string_view, Ref v) {
    deepest = std::max(deepest, depthOf(v));
    return true;
  });
  return deepest + 1;
}

TEST(PlistShape, NestingUpToTheLimitIsReadAndDeeperIsRefusedInBothForms) {
  for (bool binary : {false, true}) {
    auto ok = parseDictionary(binary ? nestedBinary(400) : nestedXml(400));
    ASSERT_EQ(ok.state, ReadState::Ok) << binary << ": " << describeRead(ok);
    EXPECT_EQ(depthOf(ok.dict.ref()), 401) << binary;
    // Deep enough to exhaust the stack of the recursive parser.
    for (int levels : {kMaxNesting + 1, 200000}) {
      auto deep = parseDictionary(binary ? nestedBinary(levels) : nestedXml(levels));
      EXPECT_EQ(deep.state, ReadState::Unreadable) << binary << " " << levels;
      EXPECT_EQ(codeOf(deep), platform::ErrorCode::TooDeep) << describeRead(deep);
    }
  }
}

TEST(PlistShape, ClosingTagsHiddenInCommentsOrDeclarationsDoNotHideNesting) {
  // The parser skips these; a scan that took them as closing tags would
  // let the nesting through.
  for (std::string_view hider : {"<!--</array>-->", "<?pi </array>?>", "<?pi \"?></array>\"?>",
                                 "<!--></array>-->"}) {
    auto r = parseDictionary(nestedXml(20000, hider));
    EXPECT_EQ(r.state, ReadState::Unreadable) << hider;
  }
  // Text built so that every declaration would be read to the end of the
  // file is given up on in linear time.
  std::string irregular = "<plist><dict>";
  for (int i = 0; i < 200000; ++i) irregular += "<?\"";
  auto start = std::chrono::steady_clock::now();
  auto irregularRead = parseDictionary(irregular);
  EXPECT_EQ(irregularRead.state, ReadState::Unreadable);
  EXPECT_EQ(codeOf(irregularRead), platform::ErrorCode::TooIrregular) << describeRead(irregularRead);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  // Empty containers, however many, add no level.
  std::string flat = "<plist><dict><key>a</key><array>";
  for (int i = 0; i < 5000; ++i) flat += i % 2 ? "<dict/>" : "<array />";
  flat += "</array></dict></plist>";
  auto r = parseDictionary(flat);
  ASSERT_EQ(r.state, ReadState::Ok) << describeRead(r);
  EXPECT_EQ(r.dict["a"].size(), 5000u);
}

TEST(PlistShape, BinaryObjectsThatReferToEachOtherInACycleAreRefused) {
  Bplist b;
  size_t first = b.placeholderArray(1);
  size_t second = b.array({first});
  b.setArray(first, {second});
  auto r = parseDictionary(b.build(b.dict({b.ascii("loop")}, {first})));
  EXPECT_EQ(r.state, ReadState::Unreadable);
  EXPECT_EQ(codeOf(r), platform::ErrorCode::ReferenceCycle) << describeRead(r);
}

TEST(PlistShape, SharedBinaryObjectsAreFineUntilTheyExpandBeyondTheNodeLimit) {
  // Each level refers to the one below twice: 2^n nodes from 2n objects.
  auto layered = [](int levels) {
    Bplist b;
    size_t leaf = b.boolean(true);
    for (int i = 0; i < levels; ++i) leaf = b.array({leaf, leaf});
    return b.build(b.dict({b.ascii("bomb")}, {leaf}));
  };
  auto small = parseDictionary(layered(10));
  ASSERT_EQ(small.state, ReadState::Ok) << describeRead(small);
  EXPECT_EQ(small.dict["bomb"].at(1).at(1).size(), 2u);
  auto bomb = parseDictionary(layered(40));
  EXPECT_EQ(bomb.state, ReadState::Unreadable);
  EXPECT_EQ(codeOf(bomb), platform::ErrorCode::TooLarge) << describeRead(bomb);
}

TEST(PlistShape, TextsAndKeysHoldingNulCharactersAreRefusedInEveryEncoding) {
  auto withValue = [](auto&& makeKey, auto&& makeValue) {
    Bplist b;
    size_t key = makeKey(b);
    size_t value = makeValue(b);
    return b.build(b.dict({key, b.ascii("other")}, {value, b.boolean(true)}));
  };
  auto plainKey = [](Bplist& b) { return b.ascii("name"); };
  auto plainValue = [](Bplist& b) { return b.ascii("value"); };
  std::string cases[] = {
      withValue(plainKey, [](Bplist& b) { return b.ascii(std::string_view("Jane\0Doe", 8)); }),
      withValue(plainKey, [](Bplist& b) { return b.utf16(std::u16string_view(u"J\u00e9\0e", 4)); }),
      withValue([](Bplist& b) { return b.ascii(std::string_view("na\0me", 5)); }, plainValue),
      withValue([](Bplist& b) { return b.utf16(std::u16string_view(u"n\u00e4\0", 3)); }, plainValue),
      "<plist><dict><key>name</key><string>Jane" + std::string(1, '\0') + "Doe</string></dict></plist>",
  };
  for (const auto& bytes : cases) {
    auto r = parseDictionary(bytes);
    EXPECT_EQ(r.state, ReadState::Unreadable);
    EXPECT_EQ(codeOf(r), platform::ErrorCode::HoldsNul) << describeRead(r);
  }
  // The same shapes without the NUL read well, so the refusal is the NUL's.
  auto fine = parseDictionary(withValue([](Bplist& b) { return b.utf16(u"n\u00e4me"); },
                                        [](Bplist& b) { return b.utf16(u"J\u00e9e"); }));
  ASSERT_EQ(fine.state, ReadState::Ok) << describeRead(fine);
  EXPECT_EQ(fine.dict["n\u00e4me"].text(), "J\u00e9e");
}

TEST(PlistShape, InvalidUtf8IsKeptByteForByteThroughARewrite) {
  std::string odd = "caf\xC3 \xFF\xFE end";
  auto d = Value::dict();
  d.set("k", Value::string(odd));
  auto back = parseDictionary(toXml(d.ref()));
  ASSERT_EQ(back.state, ReadState::Ok);
  EXPECT_EQ(back.dict["k"].string(), odd);
}

TEST(PlistShape, ARepeatedKeyKeepsItsLastValueInBothFormsAndIsReported) {
  Bplist b;
  size_t zero = b.ascii("0");
  std::string bin = b.build(b.dict({zero, b.ascii("1"), zero}, {b.ascii("first"), b.ascii("one"), b.ascii("last")}));
  std::string xml =
      "<plist><dict><key>0</key><string>first</string><key>1</key><string>one</string>"
      "<key>0</key><string>last</string></dict></plist>";
  for (const auto& bytes : {bin, xml}) {
    auto r = parseDictionary(bytes);
    ASSERT_EQ(r.state, ReadState::Ok) << describeRead(r);
    // A log keeps its keys dense only if its count is that of distinct keys.
    EXPECT_EQ(r.dict.size(), 2u);
    EXPECT_EQ(r.dict["0"].text(), "last");
    EXPECT_EQ(r.dict["1"].text(), "one");
  }
  EXPECT_TRUE(parseDictionary(bin).mended);

  testsupport::LogCapture log;
  auto file = std::filesystem::temp_directory_path() / ("calmora-repeated-" + std::to_string(::getpid()));
  ASSERT_TRUE(platform::replaceAtomically(file, bin));
  auto read = readDictionary(file);
  std::filesystem::remove(file);
  EXPECT_EQ(read.state, ReadState::Ok);
  EXPECT_TRUE(read.mended);
  EXPECT_EQ(log.lines().size(), 1u) << "a mended file is said once";
}

}  // namespace
