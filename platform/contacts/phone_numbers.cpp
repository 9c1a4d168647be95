#include "platform/contacts/phone_numbers.h"

#include <phonenumbers/phonenumberutil.h>
#include <phonenumbers/shortnumberinfo.h>

#include <QString>
#include <algorithm>
#include <mutex>

#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"

namespace platform::contacts {
namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;
using i18n::phonenumbers::ShortNumberInfo;

PhoneNumberUtil& util() { return *PhoneNumberUtil::GetInstance(); }

bool hasLetters(std::string_view text) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isLetter(); });
}

}  // namespace

PhoneNumbers::PhoneNumbers(std::string_view locale) : region_("ZZ") {
  const auto cut = locale.find_last_of("_-");
  if (cut == std::string_view::npos) return;
  std::string region(locale.substr(cut + 1));
  for (char& c : region) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (util().GetCountryCodeForRegion(region) != 0) region_ = std::move(region);
}

std::optional<PhoneNumbers::Keys> PhoneNumbers::keys(std::string_view text) const {
  // The library's own bound on a number's text; beyond it, reading costs
  // seconds and finds nothing.
  constexpr size_t kMaxNumberBytes = 250;
  if (text.size() > kMaxNumberBytes || hasLetters(text)) return std::nullopt;
  Keys k;
  k.digits = std::string(text);
  util().NormalizeDigitsOnly(&k.digits);
  if (k.digits.empty()) return std::nullopt;
  PhoneNumber n;
  if (util().Parse(std::string(text), region_, &n) == PhoneNumberUtil::NO_PARSING_ERROR)
    util().Format(n, PhoneNumberUtil::E164, &k.international);
  return k;
}

bool PhoneNumbers::isEmergency(std::string_view text, std::span<const std::string_view> alsoThese) const {
  auto k = keys(text);
  if (!k) return false;
  static const ShortNumberInfo shortNumbers;
  auto listed = [&](const std::string& digits, const std::string& region) {
    return shortNumbers.IsEmergencyNumber(digits, region) ||
           std::find(alsoThese.begin(), alsoThese.end(), digits) != alsoThese.end();
  };
  if (listed(k->digits, region_)) return true;
  // Dialled with a country code: the national number in that country.
  PhoneNumber n;
  if (util().Parse(std::string(text), region_, &n) != PhoneNumberUtil::NO_PARSING_ERROR) return false;
  std::string national, region;
  util().GetNationalSignificantNumber(n, &national);
  util().GetRegionCodeForCountryCode(n.country_code(), &region);
  return listed(national, region);
}

const PhoneNumbers& devicePhoneNumbers() {
  static std::mutex mutex;
  static std::filesystem::path root;
  static std::unique_ptr<const PhoneNumbers> numbers;
  std::lock_guard lock(mutex);
  const std::filesystem::path now = platform::deviceRoot();
  if (!numbers || now != root) {
    root = now;
    // Kept alive: callers may still hold the previous one.
    static std::vector<std::unique_ptr<const PhoneNumbers>> retired;
    if (numbers) retired.push_back(std::move(numbers));
    numbers = std::make_unique<const PhoneNumbers>(platform::readDeviceDescription(root).locale);
  }
  return *numbers;
}

std::shared_ptr<const Contact> NumberBook::contactFor(ContactStore& store, std::string_view number) {
  auto k = numbers_.keys(number);
  if (!k) return nullptr;
  if (builtFor_ != &store || generation_ != store.generation()) rebuild(store);
  const Entry* best = nullptr;
  if (auto it = byDigits_.find(k->digits); it != byDigits_.end()) best = &it->second;
  if (auto it = byInternational_.find(k->international); !k->international.empty() && it != byInternational_.end())
    if (!best || it->second.position < best->position) best = &it->second;
  return best ? best->contact : nullptr;
}

void NumberBook::rebuild(ContactStore& store) {
  builtFor_ = &store;
  generation_ = store.generation();
  byInternational_.clear();
  byDigits_.clear();
  uint32_t position = 0;
  for (const auto& contact : *store.allContacts()) {
    for (const std::string& number : contact->phoneNumbers)
      if (auto k = numbers_.keys(number)) {
        byDigits_.emplace(k->digits, Entry{position, contact});  // the first in file order stays
        if (!k->international.empty()) byInternational_.emplace(k->international, Entry{position, contact});
      }
    ++position;
  }
}

std::string displayName(const Contact& c) {
  if (c.givenName.empty() || c.familyName.empty()) return c.givenName + c.familyName;
  return c.givenName + " " + c.familyName;
}

}  // namespace platform::contacts
