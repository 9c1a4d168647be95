// The ringtone and the output: what is recorded, what is heard, and a
// ringtone that carries over when the output changes (Silent switched).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/sound.h"

namespace {

using platform::sound::SystemSoundID;

struct Heard : platform::sound::Output {
  std::vector<std::string> events;
  void play(SystemSoundID id) override { events.push_back("play " + std::to_string(id)); }
  void startLoop(SystemSoundID id) override { events.push_back("loop " + std::to_string(id)); }
  void stopLoop() override { events.push_back("stop"); }
};

struct SoundTest : ::testing::Test {
  std::vector<SystemSoundID> recorded;
  void SetUp() override {
    platform::sound::setPlayListener([this](SystemSoundID id) { recorded.push_back(id); });
  }
  void TearDown() override {
    platform::sound::stopRingtone();
    platform::sound::setOutput(nullptr);
    platform::sound::setPlayListener(nullptr);
  }
};

TEST_F(SoundTest, PlayedSoundsAreRecordedWithOrWithoutAnOutput) {
  platform::sound::playSystemSound(1005);
  auto heard = std::make_shared<Heard>();
  platform::sound::setOutput(heard);
  platform::sound::playSystemSound(1000);
  EXPECT_EQ(recorded, (std::vector<SystemSoundID>{1005, 1000}));
  EXPECT_EQ(heard->events, (std::vector<std::string>{"play 1000"}));
}

TEST_F(SoundTest, TheRingtoneIsRecordedOnceAndLoopsUntilStopped) {
  auto heard = std::make_shared<Heard>();
  platform::sound::setOutput(heard);
  platform::sound::startRingtone();
  platform::sound::startRingtone();
  EXPECT_TRUE(platform::sound::ringtonePlaying());
  platform::sound::stopRingtone();
  platform::sound::stopRingtone();
  EXPECT_FALSE(platform::sound::ringtonePlaying());
  EXPECT_EQ(recorded, (std::vector<SystemSoundID>{platform::sound::kRingtone}));
  EXPECT_EQ(heard->events, (std::vector<std::string>{"loop " + std::to_string(platform::sound::kRingtone), "stop"}));
}

TEST_F(SoundTest, ARingingRingtoneMovesToANewOutputAndStopsOnTheOld) {
  platform::sound::startRingtone();  // silent: nothing heard yet
  auto first = std::make_shared<Heard>(), second = std::make_shared<Heard>();
  platform::sound::setOutput(first);
  platform::sound::setOutput(second);
  platform::sound::setOutput(nullptr);  // Silent on
  const std::string loop = "loop " + std::to_string(platform::sound::kRingtone);
  EXPECT_EQ(first->events, (std::vector<std::string>{loop, "stop"}));
  EXPECT_EQ(second->events, (std::vector<std::string>{loop, "stop"}));
}

}  // namespace
