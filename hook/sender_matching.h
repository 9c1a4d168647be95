// The two sender tests that link the sender of a message or a call to a
// contact entry of the settings file: by the names of the contacts in the
// address book (isNameBlocked) and by the user names of their social
// profiles (isSocialBlocked).
//
// Both answer from an index over the settings file and the address book, so
// that a decision costs the same with five hundred contacts or fifty
// thousand. The index is rebuilt when either file changes; its answers are
// the ones of the plain walk (contacts in store order, keys in the settings
// dictionary's order), which tests/hook/sender_matching_test.cpp holds it to.
//
// The documented walk gives a trace line for every contact and key it
// visits; the index gives only the lines of the contact, profile and key
// that decide, since a line per visited contact would make every decision
// as slow as the address book is large. The lines go to the `reason` each
// test is given.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/contacts/contact_store.h"
#include "platform/foundation/plist.h"
#include "hook/contact_key_index.h"
#include "hook/decision_inputs.h"
#include "hook/settings_snapshot.h"
#include "hook/verdict.h"
#include "platform/foundation/host_values.h"

namespace calmora {

// An index over one version of the settings file and of the address book.
// The mode and the switches a test reads come from the decision inputs it is
// given, never from the index.
class ContactIndex {
 public:
  using ContactList = std::vector<std::shared_ptr<const platform::contacts::Contact>>;

  // `keys` is the key index of the same settings, where one was built
  // already; otherwise it is built at the first question.
  ContactIndex(SettingsContent settings, std::shared_ptr<const ContactList> contacts,
               std::shared_ptr<const ContactKeyIndex> keys = nullptr);

  // In blocklist mode: true when the sender's text matches the composed
  // name of a contact (one the store finds by that text) whose contact
  // entry has "isBlocked" and the switch named by `flagKey` on. In any
  // other mode such a contact gives false. When no contact decides: true
  // exactly in whitelist mode for a flag key in the messaging-app list.
  bool isNameBlocked(const DecisionInputs& inputs, const platform::Text& sender, const platform::Text& flagKey,
                     Reason& reason) const;
  // The same through the social profiles of contacts that have a phone
  // number: a profile whose lowercased label matches `appNameLower` and
  // whose user name matches the sender's text.
  bool isSocialBlocked(const DecisionInputs& inputs, const platform::Text& sender, const platform::Text& appNameLower,
                       const platform::Text& flagKey, Reason& reason) const;

  platform::plist::Ref settings() const { return settings_->dict.ref(); }
  // The address book's contacts, in the store's order.
  const std::shared_ptr<const ContactList>& contacts() const { return contacts_; }
  // The settings' key index, for checkContact.
  const ContactKeyIndex& contactKeyIndex() const { return *sharedKeyIndex(); }
  // The top-level keys that hold "-" (the contact keys), in order.
  const std::vector<std::string>& contactKeys() const { return contactKeys_; }
  // The first contact key whose schedule (isTimeNow) is in force at the
  // decision's minute. The answer depends only on the local date and
  // minute and the loaded switches, so it is kept for the rest of the
  // minute while they stay the same; a kept answer gives no trace lines
  // again.
  std::optional<std::string> firstContactKeyInForce(const DecisionInputs& inputs, Reason& reason) const;

  size_t relevantContactCount() const { return relevant_.size(); }

 private:
  // A contact that some contact entry with "isBlocked" on names.
  struct Relevant {
    uint32_t contact = 0;           // position in the store's order
    std::vector<uint32_t> keys;     // positions in keys_ of the entries naming it, in order
    std::vector<std::string> words;  // its name words as the store's name predicate folds them
    std::string composedName;
  };
  struct Profile {
    uint32_t relevant = 0;
    std::string lowerLabel;
    std::string userName;
    // The user name (its stand-in when empty) in ASCII lower case, when it
    // is ASCII: containment then needs no Unicode folding.
    std::optional<std::string> foldedUser;
  };
  struct Key {
    std::string name;
    platform::plist::Ref entry;
  };

  const std::shared_ptr<const ContactKeyIndex>& sharedKeyIndex() const;
  bool decidedFor(const Relevant& r, const platform::Text& flagKey, const Key** decidingKey) const;
  void buildRelevant();
  void buildNames();
  void buildProfiles();
  bool mayMatch(const Profile& p, const std::optional<std::string>& foldedSender) const;

  SettingsContent settings_;
  std::shared_ptr<const ContactList> contacts_;
  std::vector<Key> keys_;  // every candidate key (forEachCandidateKey), in order
  std::vector<std::string> contactKeys_;
  std::vector<Relevant> relevant_;  // in store order

  // Every prefix (up to 64 bytes) of every name word of a relevant contact
  // -> relevant contacts (ascending) that have a word with that prefix.
  std::unordered_map<std::string, std::vector<uint32_t>> namePrefixes_;

  // Profiles of relevant contacts with a phone number, in walk order. Only
  // blocked contacts are relevant, so they are few and each query scans
  // them all: an index of their user names' substrings would grow with the
  // square of a name's length.
  std::vector<Profile> profiles_;

  friend class SenderIndexHolder;

  // The answer, and what it was asked with. The switches are compared
  // whole, so that one isTimeNow comes to read is never left out.
  struct ScheduleMemo {
    std::string minute;  // time zone, date and minute the answer holds for
    SettingsSnapshot loaded;
    std::optional<std::string> key;
  };
  mutable std::once_flag keyIndexBuilt_;
  mutable std::shared_ptr<const ContactKeyIndex> keyIndex_;

  mutable std::mutex scheduleMutex_;
  mutable std::optional<ScheduleMemo> schedule_;

  // Which address book the index was built from: the store and the
  // generation it had.
  const void* store_ = nullptr;
  uint64_t storeGeneration_ = 0;
};

// The index of the files as they were at the last decision, kept until
// either file changes.
class SenderIndexHolder {
 public:
  std::shared_ptr<const ContactIndex> current(SettingsContent settings, platform::contacts::ContactStore& store);

 private:
  std::mutex mutex_;
  std::shared_ptr<const ContactIndex> held_;
};

}  // namespace calmora
