#include "hook/rules.h"

#include "common/names.h"
#include "common/time_window.h"
#include "hook/contact_key_index.h"
#include "hook/text_forms.h"
#include "platform/contacts/phone_numbers.h"

namespace calmora {

namespace keys = names::settings;
using platform::plist::Ref;
using schedule::windowOf;

namespace {

// Gregorian weekday number, 1 for Sunday; Qt counts 1 for Monday to 7 for
// Sunday.
int weekdayNumber(const QDateTime& t) { return t.date().dayOfWeek() % 7 + 1; }

}  // namespace

WindowRule windowRuleOf(bool overnightWindows) {
  return overnightWindows ? WindowRule::AcrossMidnight : WindowRule::SameDay;
}

namespace {

// The day's window when its weekday switch is on; a window that does not
// parse is reported and gives nothing.
std::optional<schedule::TimeWindow> dayWindow(Ref entry, int day, std::string_view contactKey, Reason& reason) {
  const std::string number = std::to_string(day);
  if (!entry[std::string(keys::kWeekdayPrefix) + number].truthy()) return std::nullopt;
  const std::string windowKey = std::string(keys::kWeekdayHourPrefix) + number;
  auto text = entry[windowKey].text();
  auto window = text ? windowOf(*text) : std::nullopt;
  if (!window)
    addLine(reason, "CalmoraDebug: ", windowKey, " of ", contactKey, " is not an HH:mm-HH:mm window: ",
            objectText(text));
  return window;
}

}  // namespace

bool isTimeNow(Ref settings, std::string_view contactKey, const DecisionInputs& inputs, Reason& reason) {
  Ref entry = settings[contactKey];
  const WindowRule rule = windowRuleOf(inputs.loaded.overnightWindows);
  // Wall-clock time on the device: the local weekday and the current time
  // truncated to its minute, as an "HH:mm" round trip would give it.
  const QDateTime& now = inputs.localNow();
  const int today = weekdayNumber(now);
  const int current = now.time().hour() * 60 + now.time().minute();
  bool inForce = false;
  if (auto w = dayWindow(entry, today, contactKey, reason)) {
    inForce = current > w->start && current < w->end;
    if (rule == WindowRule::AcrossMidnight && w->end < w->start) inForce = current > w->start;
  }
  if (!inForce && rule == WindowRule::AcrossMidnight) {
    const int yesterday = today == 1 ? 7 : today - 1;
    if (auto w = dayWindow(entry, yesterday, contactKey, reason)) inForce = w->end < w->start && current < w->end;
  }
  if (inForce) {
    addLine(reason, "CalmoraDebug: Time is now");
    return true;
  }
  addLine(reason, "CalmoraDebug: Time not now");
  return inputs.loaded.ignoretime;
}

bool isEmergencyNumber(const platform::Text& callerText) {
  return callerText && platform::contacts::devicePhoneNumbers().isEmergency(*callerText, kEmergencyNumbers);
}

bool checkContact(const ContactKeyIndex& contactKeys, const DecisionInputs& inputs, const platform::Text& contactIdentifier,
                  const platform::Text& appBundleIdentifier, Reason& reason) {
  const int32_t mode = inputs.loaded.methodspecifier;
  const std::string callSwitch = objectText(appBundleIdentifier) + std::string(keys::kCallSwitchSuffix);
  Ref all = contactKeys.settings()->dict.ref();

  // The documented walk gives a line for every key it tries; the index
  // tries no keys, so one line names the key the walk would have stopped at.
  std::optional<std::string> contactKey = contactKeys.find(contactIdentifier);
  addLine(reason, "CalmoraDebug [checkContact] appBID:-", callSwitch, " key:-", contactKey ? *contactKey : "(none)",
          ", contactIdentifier:-", objectText(contactIdentifier), ", methodspecifier:-", mode);
  if (!contactKey) return false;

  addLine(reason, "CalmoraDebug [checkContact] 191");
  Ref entry = all[*contactKey];
  bool qualifies = entry[keys::kIsBlocked].truthy() && entry[callSwitch].truthy() &&
                   isTimeNow(all, *contactKey, inputs, reason);
  if (qualifies) {
    addLine(reason, "CalmoraDebug [checkContact][isBlocked] methodspecifier:-", mode);
    if (mode == 0) {
      addLine(reason, "CalmoraDebug [blocklist] checkContact contact isBlocked YES");
      return true;
    }
    addLine(reason, "CalmoraDebug [whitelist] checkContact contact isBlocked YES");
    return false;
  }
  if (mode == 1) {
    addLine(reason, "CalmoraDebug [whitelist] 205");
    return true;
  }
  addLine(reason, "CalmoraDebug [whitelist] 209");
  return false;
}

}  // namespace calmora
