#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/runtime/loader.h"
#include "platform/runtime/runtime.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace platform::runtime;

struct Counter : Object {
  using Object::Object;
  int value = 0;
};

Class* makeCounterClass(const std::string& name) {
  Class* base = registerClass(name + "Base");
  Class* cls = registerClass(name, base);
  cls->factory = [](Class* c) { return std::make_shared<Counter>(c); };
  defineMethod<int, int>(base, "add:", [](const Id& self, int n) { return as<Counter>(self)->value += n; });
  defineMethod<std::string>(cls, "name", [](const Id&) { return std::string("counter"); });
  return cls;
}

TEST(Runtime, HookingAMethodRunsTheReplacementAndKeepsThePreviousImplementationCallable) {
  Class* cls = makeCounterClass("HookCounter");
  Id obj = createInstance(cls);
  ASSERT_EQ((send<int, int>(obj, "add:", 2)), 2);

  static Imp<int, int> previous;
  hookMessage<int, int>(cls, "add:", [](const Id& self, int n) { return previous(self, n * 10); }, &previous);
  // The inherited implementation became the previous one; the replacement
  // sits on the subclass only.
  EXPECT_EQ((send<int, int>(obj, "add:", 3)), 32);
  Id baseObj = std::make_shared<Counter>(cls->superclass());
  EXPECT_EQ((send<int, int>(baseObj, "add:", 3)), 3);

}

TEST(Runtime, MissingClassesWrongTypesAndUnknownSelectorsAreNoOpsThatAnswerDefaults) {
  size_t before = installations().size();
  EXPECT_EQ(getClass("NoSuchClass"), nullptr);
  Imp<void> prev;
  hookMessage<void>(getClass("NoSuchClass"), "x", [](const Id&) {}, &prev);
  EXPECT_FALSE(addMethod<void>(nullptr, "y", [](const Id&) {}, "v@:"));
  EXPECT_FALSE(addProperty(nullptr, "label", {}));
  EXPECT_EQ(installations().size(), before);
  EXPECT_FALSE(prev);
  EXPECT_EQ((send<int, int>(nullptr, "add:", 1)), 0);
  EXPECT_EQ(createInstance(nullptr), nullptr);
  Class* cls = makeCounterClass("TypedCounter");
  Id obj = createInstance(cls);
  EXPECT_EQ((send<int, double>(obj, "add:", 1.5)), 0);
  EXPECT_EQ(send<std::string>(obj, "nothing"), "");
  EXPECT_EQ(as<Counter>(obj)->value, 0);
}

TEST(Runtime, AddMethodAddsOnlyWhatTheClassLacksAndHookingAnAbsentMethodGivesADoNothingPrevious) {
  Class* cls = makeCounterClass("AddCounter");
  EXPECT_FALSE((addMethod<std::string>(cls, "name", [](const Id&) { return std::string("x"); }, "@@:")));
  EXPECT_TRUE((addMethod<int>(cls, "twice", [](const Id&) { return 2; }, "i@:")));
  Id obj = createInstance(cls);
  EXPECT_EQ(send<std::string>(obj, "name"), "counter");
  EXPECT_EQ(send<int>(obj, "twice"), 2);

  Imp<int> previous;
  hookMessage<int>(cls, "absent", [](const Id&) { return 7; }, &previous);
  ASSERT_TRUE(previous);
  EXPECT_EQ(previous(obj), 0);
  EXPECT_EQ(send<int>(obj, "absent"), 7);
}

TEST(Runtime, PropertiesAreDeclaredOnceAndAssociatedObjectsAreKeptStronglyPerKey) {
  Class* cls = makeCounterClass("PropCounter");
  EXPECT_TRUE(addProperty(cls, "label", {{"T", "@\"UILabel\""}, {"&", ""}, {"N", ""}}));
  EXPECT_FALSE(addProperty(cls, "label", {}));
  ASSERT_EQ(cls->properties().size(), 1u);
  EXPECT_EQ(cls->properties()[0].second[0].value, "@\"UILabel\"");

  static const char keyA = 0, keyB = 0;
  Id owner = createInstance(cls);
  std::weak_ptr<Object> weakValue;
  {
    Id value = createInstance(cls);
    weakValue = value;
    setAssociatedObject(owner, &keyA, value);
  }
  EXPECT_FALSE(weakValue.expired());  // retained by the association
  EXPECT_EQ(getAssociatedObject(owner, &keyA), weakValue.lock());
  EXPECT_EQ(getAssociatedObject(owner, &keyB), nullptr);
  setAssociatedObject(owner, &keyA, nullptr);
  EXPECT_TRUE(weakValue.expired());
}

TEST(Loader, OnlyLibrariesWhoseFilterNamesTheHostAreLoadedInitialisersInOrderAndAMissingFolderLoadsNone) {
  testsupport::TempDir scratch{"calmora-loader"};
  const std::filesystem::path dir = scratch.path();
  auto writeFilter = [&](const std::string& name, const std::string& bundles) {
    std::ofstream(dir / (name + ".plist")) << "<plist><dict><key>Filter</key><dict><key>Bundles</key><array>" << bundles
                                           << "</array></dict></dict></plist>";
  };
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "Probe.so");
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "Other.so");
  std::filesystem::copy_file(INJECTABLE_PATH, dir / "NoFilter.so");
  writeFilter("Probe", "<string>com.example.x</string><string>com.apple.springboard</string>");
  writeFilter("Other", "<string>com.apple.Preferences</string>");
  std::ofstream(dir / "Broken.so") << "not a library";
  writeFilter("Broken", "<string>com.apple.springboard</string>");

  auto loaded = loadInjectedLibraries(dir, "com.apple.springboard");
  ASSERT_EQ(loaded, std::vector<std::string>{"Probe.so"});
  Class* probe = getClass("InjectionProbe");
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(sendToClass<std::string>(probe, "order"), "12");
  EXPECT_TRUE(loadInjectedLibraries(dir / "absent", "com.apple.springboard").empty());
}

}  // namespace
