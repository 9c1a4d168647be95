// A person of the device's address book, as the contact store hands it out.
#pragma once

#include <string>
#include <vector>

namespace platform::contacts {

struct SocialProfile {
  std::string label;     // the service, e.g. "twitter"
  std::string userName;  // the person's name on that service

  bool operator==(const SocialProfile&) const = default;
};

struct Contact {
  std::string identifier;  // "<UID>:ABPerson"
  std::string givenName;
  std::string familyName;
  std::vector<std::string> phoneNumbers;
  std::vector<SocialProfile> socialProfiles;

  bool operator==(const Contact&) const = default;
};

}  // namespace platform::contacts
