// Fuzzed signals with fuzzed payloads into every observer of the home
// screen: each request is answered once and as documented, whatever its
// user information holds, and the marker stays a 10 x 10 square on the
// screen's plane.
#include <algorithm>
#include <cstdint>

#include "common/names.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/home_screen_fixture.h"
#include "fuzz/input.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "platform/foundation/plist.h"

namespace names = calmora::names;
namespace sig = calmora::names::signal;
namespace logs = calmora::logs;
using platform::plist::Value;

namespace {

// Two small logs as the engine writes them, with records read and unread.
void writeLogs(fuzzing::HomeScreen& screen, uint8_t setup) {
  screen.removeLogs();
  for (int i = 0; i < setup % 4; ++i)
    FUZZ_CHECK(logs::appendCall({"10:30:00 07-12-2026", "Phone Call from Jane", "com.apple.mobilephone", "", "Jane",
                                 "Phone"})
                   .ok());
  for (int i = 0; i < (setup >> 2) % 4; ++i)
    FUZZ_CHECK(logs::appendNotification({"10:30:00 07-12-2026", "WhatsApp notification from Jane",
                                         "net.whatsapp.WhatsApp", "", "WhatsApp", "hi", "Jane"})
                   .ok());
  if (setup & 16) logs::markReadC({"", {{std::string(sig::kKey), "0"}}});
}

std::string valueFor(fuzzing::Input& in) {
  uint8_t pick = in.byte();
  if (pick == 255) return std::string(100000, '7');  // a huge payload
  return in.oneOf({"0", "1", "2", "-1", "", "00", "1e3", "com.apple.mobilephone", "net.whatsapp.WhatsApp",
                   "\xFF\xFE"})
      .value_or("");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& screen = fuzzing::HomeScreen::get();
  fuzzing::Input in(data, size);
  writeLogs(screen, in.byte());
  // Marker coordinates as the pane may have stored them.
  auto settings = platform::plist::parseDictionary(fuzzing::defaultSettingsXml()).dict;
  for (auto key : {names::settings::kXCoordinates, names::settings::kYCoordinates}) {
    uint8_t kind = in.byte() % 4;
    if (kind == 1) settings.set(key, Value::integer(static_cast<int8_t>(in.byte()) * 1000003LL));
    if (kind == 2) settings.set(key, Value::string(in.text()));
    if (kind == 3) settings.set(key, Value::real(static_cast<double>(in.byte()) * 1e300));
  }
  FUZZ_CHECK(screen.writeFile(names::kSettingsPath, platform::plist::toXml(settings.ref())));
  screen.takePosted();

  int requests = in.byte() % 6 + 1;
  for (int r = 0; r < requests; ++r) {
    uint8_t n = in.byte();
    std::string name = n < 2 * names::signal::kCatalogue.size()
                           ? std::string(names::signal::kCatalogue[n % names::signal::kCatalogue.size()])
                           : in.text();
    platform::UserInfo info;
    for (int e = in.byte() % 4; e > 0; --e) {
      auto key = in.oneOf({"key", "bID", "badges"}).value_or("");
      info[key] = valueFor(in);
    }
    screen.center().post(name, info, platform::Delivery::Plain);
    // The fixture hears the catalogue's names: the request itself first,
    // then whatever answered it.
    auto posted = screen.takeNotifications();
    bool known = std::find(names::signal::kCatalogue.begin(), names::signal::kCatalogue.end(), name) !=
                 names::signal::kCatalogue.end();
    if (known) {
      FUZZ_CHECK(!posted.empty() && posted[0].name == name);
      posted.erase(posted.begin());
    }
    // A request is answered once: a mark with the marker's state, a count
    // request with the count, showIcon by showing. Nothing else is answered.
    const bool marks = name == sig::kMarkReadC || name == sig::kMarkReadN || name == sig::kMarkAllReadC ||
                       name == sig::kMarkAllReadN;
    const bool counts = name == sig::kUnreadCall || name == sig::kUnreadNotif;
    FUZZ_CHECK(posted.size() == (marks || counts || name == sig::kShowIcon ? 1u : 0u));
    if (marks) FUZZ_CHECK(posted[0].name == (logs::isAllRead() ? sig::kHide : sig::kShow));
    if (name == sig::kShowIcon) FUZZ_CHECK(posted[0].name == sig::kShow);
    auto marker = screen.board().marker();
    FUZZ_CHECK(marker && marker->frame.width == 10 && marker->frame.height == 10);
    if (name == sig::kShow || name == sig::kShowIcon) FUZZ_CHECK(marker->visible);
    if (name == sig::kHide) FUZZ_CHECK(!marker->visible);
  }
  return 0;
}
