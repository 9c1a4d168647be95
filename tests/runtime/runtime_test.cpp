#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/plist.h"
#include "platform/runtime/loader.h"
#include "platform/runtime/runtime.h"
#include "tests/support/temp_dir.h"

namespace {

struct Counter : rt::Object {
  using rt::Object::Object;
  int value = 0;
};

rt::Class* makeCounterClass(const std::string& name) {
  rt::Class* base = rt::registerClass(name + "Base");
  rt::Class* cls = rt::registerClass(name, base);
  cls->factory = [](rt::Class* c) { return std::make_shared<Counter>(c); };
  rt::defineMethod<int, int>(base, "add:", [](const rt::Id& self, int n) {
    return rt::as<Counter>(self)->value += n;
  });
  rt::defineMethod<std::string>(cls, "name", [](const rt::Id&) { return std::string("counter"); });
  return cls;
}

TEST(Runtime, HookingAMethodRunsTheReplacementAndKeepsThePreviousImplementationCallable) {
  rt::Class* cls = makeCounterClass("HookCounter");
  rt::Id obj = rt::createInstance(cls);
  ASSERT_EQ((rt::send<int, int>(obj, "add:", 2)), 2);

  static rt::Imp<int, int> previous;
  rt::hookMessage<int, int>(cls, "add:", [](const rt::Id& self, int n) { return previous(self, n * 10); },
                            &previous);
  // The inherited implementation became the previous one; the replacement
  // sits on the subclass only.
  EXPECT_EQ((rt::send<int, int>(obj, "add:", 3)), 32);
  rt::Id baseObj = std::make_shared<Counter>(cls->superclass());
  EXPECT_EQ((rt::send<int, int>(baseObj, "add:", 3)), 3);

  auto inst = rt::installations();
  ASSERT_FALSE(inst.empty());
  EXPECT_EQ(inst.back().className, "HookCounter");
  EXPECT_EQ(inst.back().selector, "add:");
  EXPECT_EQ(inst.back().kind, rt::InstallKind::Replace);
}

TEST(Runtime, OperationsOnAMissingClassAreNoOpsAndMessagesToNothingAnswerDefaults) {
  size_t before = rt::installations().size();
  EXPECT_EQ(rt::getClass("NoSuchClass"), nullptr);
  rt::Imp<void> prev;
  rt::hookMessage<void>(rt::getClass("NoSuchClass"), "x", [](const rt::Id&) {}, &prev);
  EXPECT_FALSE(rt::addMethod<void>(nullptr, "y", [](const rt::Id&) {}, "v@:"));
  EXPECT_FALSE(rt::addProperty(nullptr, "label", {}));
  EXPECT_EQ(rt::installations().size(), before);
  EXPECT_FALSE(prev);
  EXPECT_EQ((rt::send<int, int>(nullptr, "add:", 1)), 0);
  EXPECT_EQ(rt::createInstance(nullptr), nullptr);
}

TEST(Runtime, AMessageWithTheWrongTypesOrAnUnknownSelectorIsRefusedNotCrashed) {
  rt::Class* cls = makeCounterClass("TypedCounter");
  rt::Id obj = rt::createInstance(cls);
  EXPECT_EQ((rt::send<int, double>(obj, "add:", 1.5)), 0);
  EXPECT_EQ(rt::send<std::string>(obj, "nothing"), "");
  EXPECT_EQ(rt::as<Counter>(obj)->value, 0);
}

TEST(Runtime, AddMethodAddsOnlyWhatTheClassLacksAndHookingAnAbsentMethodGivesADoNothingPrevious) {
  rt::Class* cls = makeCounterClass("AddCounter");
  EXPECT_FALSE((rt::addMethod<std::string>(cls, "name", [](const rt::Id&) { return std::string("x"); }, "@@:")));
  EXPECT_TRUE((rt::addMethod<int>(cls, "twice", [](const rt::Id&) { return 2; }, "i@:")));
  rt::Id obj = rt::createInstance(cls);
  EXPECT_EQ(rt::send<std::string>(obj, "name"), "counter");
  EXPECT_EQ(rt::send<int>(obj, "twice"), 2);

  rt::Imp<int> previous;
  rt::hookMessage<int>(cls, "absent", [](const rt::Id&) { return 7; }, &previous);
  ASSERT_TRUE(previous);
  EXPECT_EQ(previous(obj), 0);
  EXPECT_EQ(rt::send<int>(obj, "absent"), 7);
}

TEST(Runtime, PropertiesAreDeclaredOnceAndAssociatedObjectsAreKeptStronglyPerKey) {
  rt::Class* cls = makeCounterClass("PropCounter");
  EXPECT_TRUE(rt::addProperty(cls, "label", {{"T", "@\"UILabel\""}, {"&", ""}, {"N", ""}}));
  EXPECT_FALSE(rt::addProperty(cls, "label", {}));
  ASSERT_EQ(cls->properties().size(), 1u);
  EXPECT_EQ(cls->properties()[0].second[0].value, "@\"UILabel\"");

  static const char keyA = 0, keyB = 0;
  rt::Id owner = rt::createInstance(cls);
  std::weak_ptr<rt::Object> weakValue;
  {
    rt::Id value = rt::createInstance(cls);
    weakValue = value;
    rt::setAssociatedObject(owner, &keyA, value);
  }
  EXPECT_FALSE(weakValue.expired());  // retained by the association
  EXPECT_EQ(rt::getAssociatedObject(owner, &keyA), weakValue.lock());
  EXPECT_EQ(rt::getAssociatedObject(owner, &keyB), nullptr);
  rt::setAssociatedObject(owner, &keyA, nullptr);
  EXPECT_TRUE(weakValue.expired());
}

class LoaderTest : public ::testing::Test {
 protected:
  void writeFilter(const std::string& name, const std::vector<std::string>& bundles) {
    auto root = platform::plist::Value::dict();
    auto filter = platform::plist::Value::dict();
    auto arr = platform::plist::Value::array();
    for (const auto& b : bundles) arr.append(platform::plist::Value::string(b));
    filter.set("Bundles", std::move(arr));
    root.set("Filter", std::move(filter));
    ASSERT_FALSE(platform::plist::writeXmlAtomically(dir / (name + ".plist"), root.ref()));
  }
  testsupport::TempDir scratch_{"calmora-loader"};
  const std::filesystem::path dir = scratch_.path();
};

TEST_F(LoaderTest, OnlyLibrariesWhoseFilterNamesTheHostAreLoadedInitialisersInOrderAndAMissingFolderLoadsNone) {
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "Probe.so");
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "Other.so");
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "NoFilter.so");
  writeFilter("Probe", {"com.example.x", "com.apple.springboard"});
  writeFilter("Other", {"com.apple.Preferences"});
  std::ofstream(dir / "Broken.so") << "not a library";
  writeFilter("Broken", {"com.apple.springboard"});

  auto loaded = rt::loadInjectedLibraries(dir, "com.apple.springboard");
  ASSERT_EQ(loaded, std::vector<std::string>{"Probe.so"});
  rt::Class* probe = rt::getClass("InjectionProbe");
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(rt::sendToClass<std::string>(probe, "order"), "12");
  EXPECT_TRUE(rt::loadInjectedLibraries(dir / "absent", "com.apple.springboard").empty());
}

}  // namespace
