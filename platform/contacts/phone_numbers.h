// Phone numbers as the device's telephony reads them, in the device's region
// (libphonenumber): "(415) 555-0100" and "+1 415 555 0100" are one number in
// the US, full-width digits are digits, "+1 911" is 911.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/contacts/contact.h"

namespace platform::contacts {

class ContactStore;

class PhoneNumbers {
 public:
  // `region` as a device's Locale names it ("en_US"); a locale without a
  // region reads numbers without one (only international forms parse).
  explicit PhoneNumbers(std::string_view locale);

  // What a number is known by: its international form, where it parses in
  // the region, and its digits (ASCII), which always count.
  struct Keys {
    std::string international;
    std::string digits;
  };
  // Null for text that is no number: letters, no digit at all, or longer
  // than any number (250 bytes).
  std::optional<Keys> keys(std::string_view text) const;

  // The region's emergency numbers, read as a phone reads them, and
  // `alsoThese` (digits only) wherever the device is.
  bool isEmergency(std::string_view text, std::span<const std::string_view> alsoThese = {}) const;

  const std::string& region() const { return region_; }

 private:
  std::string region_;  // "US"; "ZZ" when unknown
};

// The process's reading of numbers, in the region of the device whose root
// the process serves (its description's Locale), made again when the root
// changes.
const PhoneNumbers& devicePhoneNumbers();

// The contacts of a store by their numbers, built once per store version.
class NumberBook {
 public:
  explicit NumberBook(PhoneNumbers numbers) : numbers_(std::move(numbers)) {}

  // The first contact, in the store's order, holding a number with the same
  // digits or the same international form; null when none does.
  std::shared_ptr<const Contact> contactFor(ContactStore& store, std::string_view number);

 private:
  void rebuild(ContactStore& store);

  PhoneNumbers numbers_;
  const ContactStore* builtFor_ = nullptr;
  uint64_t generation_ = 0;
  struct Entry {
    uint32_t position;  // in the store's order
    std::shared_ptr<const Contact> contact;
  };
  std::unordered_map<std::string, Entry> byInternational_, byDigits_;
};

// The name a phone shows for the contact: given and family name; empty when
// the contact has neither.
std::string displayName(const Contact& c);

}  // namespace platform::contacts
