#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/plist.h"
#include "platform/runtime/loader.h"
#include "platform/runtime/runtime.h"

namespace {

struct Counter : platform::runtime::Object {
  using platform::runtime::Object::Object;
  int value = 0;
};

platform::runtime::Class* makeCounterClass(const std::string& name) {
  platform::runtime::Class* base = platform::runtime::registerClass(name + "Base");
  platform::runtime::Class* cls = platform::runtime::registerClass(name, base);
  cls->factory = [](platform::runtime::Class* c) { return std::make_shared<Counter>(c); };
  platform::runtime::defineMethod<int, int>(base, "add:", [](const platform::runtime::Id& self, int n) {
    return platform::runtime::as<Counter>(self)->value += n;
  });
  platform::runtime::defineMethod<std::string>(cls, "name", [](const platform::runtime::Id&) { return std::string("counter"); });
  return cls;
}

TEST(Runtime, HookingAMethodRunsTheReplacementAndKeepsThePreviousImplementationCallable) {
  platform::runtime::Class* cls = makeCounterClass("HookCounter");
  platform::runtime::Id obj = platform::runtime::createInstance(cls);
  ASSERT_EQ((platform::runtime::send<int, int>(obj, "add:", 2)), 2);

  static platform::runtime::Imp<int, int> previous;
  platform::runtime::hookMessage<int, int>(cls, "add:", [](const platform::runtime::Id& self, int n) { return previous(self, n * 10); },
                            &previous);
  // The inherited implementation became the previous one; the replacement
  // sits on the subclass only.
  EXPECT_EQ((platform::runtime::send<int, int>(obj, "add:", 3)), 32);
  platform::runtime::Id baseObj = std::make_shared<Counter>(cls->superclass());
  EXPECT_EQ((platform::runtime::send<int, int>(baseObj, "add:", 3)), 3);

  auto inst = platform::runtime::installations();
  ASSERT_FALSE(inst.empty());
  EXPECT_EQ(inst.back().className, "HookCounter");
  EXPECT_EQ(inst.back().selector, "add:");
  EXPECT_EQ(inst.back().kind, platform::runtime::InstallKind::Replace);
}

TEST(Runtime, OperationsOnAMissingClassAreNoOpsAndMessagesToNothingAnswerDefaults) {
  size_t before = platform::runtime::installations().size();
  EXPECT_EQ(platform::runtime::getClass("NoSuchClass"), nullptr);
  platform::runtime::Imp<void> prev;
  platform::runtime::hookMessage<void>(platform::runtime::getClass("NoSuchClass"), "x", [](const platform::runtime::Id&) {}, &prev);
  EXPECT_FALSE(platform::runtime::addMethod<void>(nullptr, "y", [](const platform::runtime::Id&) {}, "v@:"));
  EXPECT_FALSE(platform::runtime::addProperty(nullptr, "label", {}));
  EXPECT_EQ(platform::runtime::installations().size(), before);
  EXPECT_FALSE(prev);
  EXPECT_EQ((platform::runtime::send<int, int>(nullptr, "add:", 1)), 0);
  EXPECT_EQ(platform::runtime::createInstance(nullptr), nullptr);
}

TEST(Runtime, AMessageWithTheWrongTypesOrAnUnknownSelectorIsRefusedNotCrashed) {
  platform::runtime::Class* cls = makeCounterClass("TypedCounter");
  platform::runtime::Id obj = platform::runtime::createInstance(cls);
  EXPECT_EQ((platform::runtime::send<int, double>(obj, "add:", 1.5)), 0);
  EXPECT_EQ(platform::runtime::send<std::string>(obj, "nothing"), "");
  EXPECT_EQ(platform::runtime::as<Counter>(obj)->value, 0);
}

TEST(Runtime, AddMethodAddsOnlyWhatTheClassLacksAndHookingAnAbsentMethodGivesADoNothingPrevious) {
  platform::runtime::Class* cls = makeCounterClass("AddCounter");
  EXPECT_FALSE((platform::runtime::addMethod<std::string>(cls, "name", [](const platform::runtime::Id&) { return std::string("x"); }, "@@:")));
  EXPECT_TRUE((platform::runtime::addMethod<int>(cls, "twice", [](const platform::runtime::Id&) { return 2; }, "i@:")));
  platform::runtime::Id obj = platform::runtime::createInstance(cls);
  EXPECT_EQ(platform::runtime::send<std::string>(obj, "name"), "counter");
  EXPECT_EQ(platform::runtime::send<int>(obj, "twice"), 2);

  platform::runtime::Imp<int> previous;
  platform::runtime::hookMessage<int>(cls, "absent", [](const platform::runtime::Id&) { return 7; }, &previous);
  ASSERT_TRUE(previous);
  EXPECT_EQ(previous(obj), 0);
  EXPECT_EQ(platform::runtime::send<int>(obj, "absent"), 7);
}

TEST(Runtime, PropertiesAreDeclaredOnceAndAssociatedObjectsAreKeptStronglyPerKey) {
  platform::runtime::Class* cls = makeCounterClass("PropCounter");
  EXPECT_TRUE(platform::runtime::addProperty(cls, "label", {{"T", "@\"UILabel\""}, {"&", ""}, {"N", ""}}));
  EXPECT_FALSE(platform::runtime::addProperty(cls, "label", {}));
  ASSERT_EQ(cls->properties().size(), 1u);
  EXPECT_EQ(cls->properties()[0].second[0].value, "@\"UILabel\"");

  static const char keyA = 0, keyB = 0;
  platform::runtime::Id owner = platform::runtime::createInstance(cls);
  std::weak_ptr<platform::runtime::Object> weakValue;
  {
    platform::runtime::Id value = platform::runtime::createInstance(cls);
    weakValue = value;
    platform::runtime::setAssociatedObject(owner, &keyA, value);
  }
  EXPECT_FALSE(weakValue.expired());  // retained by the association
  EXPECT_EQ(platform::runtime::getAssociatedObject(owner, &keyA), weakValue.lock());
  EXPECT_EQ(platform::runtime::getAssociatedObject(owner, &keyB), nullptr);
  platform::runtime::setAssociatedObject(owner, &keyA, nullptr);
  EXPECT_TRUE(weakValue.expired());
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("calmora-loader-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void writeFilter(const std::string& name, const std::vector<std::string>& bundles) {
    auto root = platform::plist::Value::dict();
    auto filter = platform::plist::Value::dict();
    auto arr = platform::plist::Value::array();
    for (const auto& b : bundles) arr.append(platform::plist::Value::string(b));
    filter.set("Bundles", std::move(arr));
    root.set("Filter", std::move(filter));
    ASSERT_FALSE(platform::plist::writeXmlAtomically(dir / (name + ".plist"), root.ref()));
  }
  std::filesystem::path dir;
};

TEST_F(LoaderTest, OnlyLibrariesWhoseFilterNamesTheHostAreLoadedAndTheirInitialisersRunInOrder) {
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "Probe.so");
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "Other.so");
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "NoFilter.so");
  writeFilter("Probe", {"com.example.x", "com.apple.springboard"});
  writeFilter("Other", {"com.apple.Preferences"});
  std::ofstream(dir / "Broken.so") << "not a library";
  writeFilter("Broken", {"com.apple.springboard"});

  auto loaded = platform::runtime::loadInjectedLibraries(dir, "com.apple.springboard");
  ASSERT_EQ(loaded, std::vector<std::string>{"Probe.so"});
  platform::runtime::Class* probe = platform::runtime::getClass("InjectionProbe");
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(platform::runtime::sendToClass<std::string>(probe, "order"), "12");
}

TEST_F(LoaderTest, AMissingFolderLoadsNothing) {
  EXPECT_TRUE(platform::runtime::loadInjectedLibraries(dir / "absent", "com.apple.springboard").empty());
}

}  // namespace
