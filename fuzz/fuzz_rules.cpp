// A fuzzed settings file under both interceptions and the rules: whatever
// the file holds and whatever the event carries, the home screen answers,
// and an event it stops leaves exactly one record.
#include <cstdint>

#include "common/names.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/home_screen_fixture.h"
#include "fuzz/input.h"
#include "hook/contact_key_index.h"
#include "hook/process_state.h"
#include "hook/rules.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist.h"

using namespace platform::plist;
namespace names = calmora::names;

namespace {

// The records of a log, which must be readable.
size_t records(std::string_view phonePath) {
  auto read = readDictionary(platform::devicePath(phonePath));
  FUZZ_CHECK(read.state != ReadState::Unreadable);
  return read.dict.size();
}

// The rules called directly, on what the file holds.
void callRules(fuzzing::Input& in, Value file) {
  calmora::containsEither(in.oneOf({"Jane Roe", "FaceTime", "Telephony", "\xC3\x89MILE", ""}),
                          in.oneOf({"jane", "facetime", "TELEPHONY", "\xC3\xA9mile", ""}));
  calmora::SettingsSnapshot loaded = calmora::decisionState().snapshot;
  loaded.overnightWindows = in.byte() % 2;
  const calmora::DecisionInputs decision{loaded, calmora::decisionState().messagingApps, platform::clock::nowMs()};
  const calmora::ContactKeyIndex keys(calmora::settingsContentOf(std::move(file)));
  Ref settings = keys.settings()->dict.ref();
  settings.forEach([&](std::string_view key, Ref) {
    calmora::Reason reason;
    calmora::isTimeNow(settings, key, decision, reason);
    return true;
  });
  calmora::Reason reason;
  calmora::checkContact(keys, decision, in.oneOf({"A1B2C3D4-0001:ABPerson", "A1B2C3D4-0001", ":ABPerson"}),
                        in.oneOf({"com.apple.mobilephone", "com.apple.facetime", "net.whatsapp.WhatsApp"}), reason);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& screen = fuzzing::HomeScreen::get();
  fuzzing::Input in(data, size);
  auto& snapshot = calmora::decisionState().snapshot;
  uint8_t mode = in.byte();
  snapshot.methodspecifier = mode % 4 == 3 ? static_cast<int8_t>(mode) : mode % 4 % 2;
  snapshot.ignoretime = in.flag();
  uint8_t what = in.byte() % 3;

  platform::springboard::CallDescription call;
  platform::springboard::BulletinDescription bulletin;
  if (what < 2) {
    call.displayName = in.oneOf({"Jane Roe", "John Roe", "Mallory Evil", "mal.e", ""});
    call.contactIdentifier = in.oneOf({"A1B2C3D4-0001:ABPerson", "A1B2C3D4-0003:ABPerson", "A1B2C3D4-0002"});
    call.providerName = in.oneOf({"Telephony", "FaceTime", "WhatsApp", "faceTIME"});
    call.providerBundleIdentifier = in.oneOf({"com.apple.mobilephone", "com.apple.facetime", "net.whatsapp.WhatsApp"});
    uint8_t status = in.byte();
    call.status = status % 4 == 3 ? static_cast<int8_t>(status) : 4;
    call.incoming = !(in.byte() % 5 == 4);
  } else {
    bulletin.section = in.oneOf({"net.whatsapp.WhatsApp", "com.apple.MobileSMS", "com.apple", "org.whispersystems.signal"});
    bulletin.title = in.oneOf({"Jane Roe", "Mallory Evil", "mal.e", ""});
    bulletin.subtitle = in.oneOf({"Jane Roe", "Family", ""});
    bulletin.message = in.oneOf({"hello", ""});
    uint8_t age = in.byte();
    if (age != 255) bulletin.date = platform::clock::nowMs() / 1000.0 - (age % 8) * 0.5;
  }
  fuzzing::Input ruleInput = in;  // the file's bytes also choose the direct rule calls
  std::string_view file = in.rest();
  FUZZ_CHECK(screen.writeFile(names::kSettingsPath, file.empty() ? fuzzing::defaultSettingsXml() : std::string(file)));
  screen.removeLogs();
  screen.advanceClock(5000);

  auto& board = screen.board();
  uint64_t endedBefore = board.record().snapshot().callsEnded;
  if (what < 2) {
    bool handedOn = what == 0 ? board.deliverCallEvent(call) : board.deliverCallUpdate(call);
    if (!call.incoming || call.status != 4) FUZZ_CHECK(handedOn);
    FUZZ_CHECK(board.record().snapshot().callsEnded == endedBefore + (handedOn ? 0 : 1));
    FUZZ_CHECK(records(names::kBlockedCallsPath) == (handedOn ? 0u : 1u));
  } else {
    bool handedOn = board.deliverBulletin(bulletin);
    FUZZ_CHECK(records(names::kBlockedNotifPath) == (handedOn ? 0u : 1u));
  }
  screen.takePosted();
  callRules(ruleInput, readDictionary(platform::devicePath(names::kSettingsPath)).dict);
  return 0;
}
