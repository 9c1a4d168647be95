#include "hook/sender_matching.h"

#include <QTimeZone>

#include <algorithm>
#include <set>

#include "common/names.h"
#include "hook/messaging_apps.h"
#include "hook/rules.h"
#include "hook/settings_snapshot.h"
#include "hook/text_forms.h"
#include "platform/contacts/contact_set.h"

namespace calmora {

namespace keys = names::settings;
using platform::Text;

namespace {

// The stand-ins containsEither puts in place of an empty first or second
// text. Indexing the stand-in keeps the index's matches the same as
// containsEither's.
std::string asFirst(std::string_view s) { return s.empty() ? std::string("imnull") : std::string(s); }
std::string asSecond(std::string_view s) { return s.empty() ? std::string("imalsonull") : std::string(s); }

// Case-insensitive containment between two ASCII texts is containment
// between their ASCII lower cases; text with any other character gets no
// byte index, since Unicode case folding may map it onto ASCII (the Kelvin
// sign folds to "k").
// FIXME: a sender with any other character is compared with every profile
// of a listed contact; folding each code point as QString's case-insensitive
// search does (QChar::toCaseFolded) would let the index cover it too.
std::optional<std::string> asciiFolded(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) return std::nullopt;
    if (u >= 'A' && u <= 'Z') c = static_cast<char>(u + ('a' - 'A'));
  }
  return out;
}

bool fallbackAnswer(const DecisionInputs& d, const Text& flagKey) {
  return d.loaded.methodspecifier == 1 && flagKey && isMessagingApp(d.messagingApps, *flagKey);
}

bool listedAnswer(const DecisionInputs& d) { return d.loaded.methodspecifier == 0; }

std::string composedName(const platform::contacts::Contact& c) {
  if (!c.givenName.empty() && !c.familyName.empty()) return c.givenName + " " + c.familyName;
  if (!c.givenName.empty()) return c.givenName;
  return c.familyName;
}

// Whether `text` contains `needle`, in time linear in both.
bool containsLinear(std::string_view text, std::string_view needle) {
  std::vector<uint32_t> border(needle.size() + 1, 0);  // longest proper border of each prefix
  for (size_t i = 1, k = 0; i < needle.size(); ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k];
    if (needle[i] == needle[k]) ++k;
    border[i + 1] = static_cast<uint32_t>(k);
  }
  for (size_t i = 0, k = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != needle[k]) k = border[k];
    if (text[i] == needle[k] && ++k == needle.size()) return true;
  }
  return needle.empty();
}

// Name words are indexed by their prefixes up to this many bytes; a longer
// query word is looked up by its own first bytes and confirmed word by word,
// so a long name costs linear, not quadratic, space.
constexpr size_t kPrefixBytes = 64;

// The part of a query word that the prefix index holds: at most
// kPrefixBytes, cut where a character begins.
std::string indexedPrefix(const std::string& word) {
  if (word.size() <= kPrefixBytes) return word;
  size_t end = kPrefixBytes;
  while (end > 0 && (static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) --end;
  return word.substr(0, end);
}

// Pushes `value` unless it is already the last item: lists are built in
// ascending order, so this keeps them free of repeats.
void pushOnce(std::vector<uint32_t>& list, uint32_t value) {
  if (list.empty() || list.back() != value) list.push_back(value);
}

}  // namespace

ContactIndex::ContactIndex(SettingsContent settings, std::shared_ptr<const ContactList> contacts,
                           std::shared_ptr<const ContactKeyIndex> keys)
    : settings_(std::move(settings)), contacts_(std::move(contacts)) {
  if (!contacts_) contacts_ = std::make_shared<const ContactList>();
  if (keys && keys->settings() == settings_) {
    keyIndex_ = std::move(keys);
    std::call_once(keyIndexBuilt_, [] {});
  }
  forEachCandidateKey(settings_->dict.ref(), [this](std::string_view key, platform::plist::Ref value) {
    keys_.push_back(Key{std::string(key), value});
    if (key.find('-') != std::string_view::npos) contactKeys_.emplace_back(key);
  });
  buildRelevant();
  buildNames();
  buildProfiles();
}

namespace {

// ASCII-folded texts by their whole text, with the lengths that occur;
// texts that cannot be folded byte by byte are listed apart. `items[i]` is
// what the i-th text stands for.
struct FoldedTexts {
  std::vector<std::optional<std::string>> folded;
  std::unordered_map<std::string_view, std::vector<uint32_t>> byText;
  std::set<size_t> lengths;
  std::vector<uint32_t> unfolded;

  FoldedTexts(const std::vector<std::string>& texts, const std::vector<uint32_t>& items) : folded(texts.size()) {
    for (size_t i = 0; i < texts.size(); ++i) folded[i] = asciiFolded(texts[i]);
    // The views point into `folded`, which no longer changes.
    for (size_t i = 0; i < texts.size(); ++i) {
      if (!folded[i]) {
        unfolded.push_back(items[i]);
        continue;
      }
      byText[*folded[i]].push_back(items[i]);
      lengths.insert(folded[i]->size());
    }
  }
  FoldedTexts(const FoldedTexts&) = delete;

  // Calls fn(item) for every indexed text that `text` contains.
  template <class Fn>
  void forEachContainedIn(std::string_view text, Fn&& fn) const {
    for (size_t len : lengths)
      for (size_t pos = 0; pos + len <= text.size(); ++pos)
        if (auto it = byText.find(text.substr(pos, len)); it != byText.end())
          for (uint32_t item : it->second) fn(item);
  }
};

std::vector<uint32_t> iota(size_t n) {
  std::vector<uint32_t> v(n);
  for (uint32_t i = 0; i < n; ++i) v[i] = i;
  return v;
}

}  // namespace

// Finds, for every contact, the entries with "isBlocked" on whose key
// matches its identifier (containsEither(key, identifier)). The pairs come
// from byte indexes where both texts are ASCII and from trying every pair
// otherwise; containsEither itself confirms each pair.
void ContactIndex::buildRelevant() {
  const ContactList& contacts = *contacts_;
  std::vector<uint32_t> blocked;
  std::vector<std::string> keyTexts;
  for (uint32_t k = 0; k < keys_.size(); ++k)
    if (keys_[k].entry.isDict() && keys_[k].entry[keys::kIsBlocked].truthy()) {
      blocked.push_back(k);
      keyTexts.push_back(asFirst(keys_[k].name));
    }
  if (blocked.empty() || contacts.empty()) return;

  std::vector<std::string> ids(contacts.size()), idTexts(contacts.size());
  for (uint32_t c = 0; c < contacts.size(); ++c) {
    ids[c] = withoutABPerson(contacts[c]->identifier);
    idTexts[c] = asSecond(ids[c]);
  }
  const FoldedTexts foldedIds(idTexts, iota(contacts.size()));
  const FoldedTexts foldedKeys(keyTexts, blocked);

  std::vector<std::vector<uint32_t>> candidates(contacts.size());
  for (size_t b = 0; b < blocked.size(); ++b)  // the key contains the identifier
    if (foldedKeys.folded[b])
      foldedIds.forEachContainedIn(*foldedKeys.folded[b], [&](uint32_t c) { candidates[c].push_back(blocked[b]); });
  for (uint32_t c = 0; c < contacts.size(); ++c)  // the identifier contains the key
    if (foldedIds.folded[c])
      foldedKeys.forEachContainedIn(*foldedIds.folded[c], [&](uint32_t k) { candidates[c].push_back(k); });
  for (uint32_t k : foldedKeys.unfolded)
    for (auto& list : candidates) list.push_back(k);
  for (uint32_t c : foldedIds.unfolded) candidates[c] = blocked;

  for (uint32_t c = 0; c < contacts.size(); ++c) {
    auto& list = candidates[c];
    if (list.empty()) continue;
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    Relevant r;
    r.contact = c;
    for (uint32_t k : list)
      if (containsEither(std::string_view(keys_[k].name), std::string_view(ids[c]))) r.keys.push_back(k);
    if (!r.keys.empty()) relevant_.push_back(std::move(r));
  }
}

void ContactIndex::buildNames() {
  for (uint32_t ri = 0; ri < relevant_.size(); ++ri) {
    Relevant& r = relevant_[ri];
    const auto& contact = *(*contacts_)[r.contact];
    r.composedName = composedName(contact);
    // The same folding and word splitting as the store's name predicate.
    for (const std::string* name : {&contact.givenName, &contact.familyName})
      for (auto& w : platform::contacts::foldedWords(*name)) r.words.push_back(std::move(w));
    for (const auto& w : r.words)
      for (size_t end = 1; end <= std::min(w.size(), kPrefixBytes); ++end)
        if (end == w.size() || (static_cast<unsigned char>(w[end]) & 0xC0) != 0x80)
          pushOnce(namePrefixes_[w.substr(0, end)], ri);
  }
}

void ContactIndex::buildProfiles() {
  for (uint32_t ri = 0; ri < relevant_.size(); ++ri) {
    const auto& contact = *(*contacts_)[relevant_[ri].contact];
    if (contact.phoneNumbers.empty()) continue;
    for (const auto& p : contact.socialProfiles)
      profiles_.push_back(Profile{ri, lowercased(p.label).value_or(""), p.userName, asciiFolded(asFirst(p.userName))});
  }
}

// Whether the profile's user name may match the sender's text: for two
// ASCII texts this is the answer itself, a linear search in each direction;
// anything else is left to containsEither.
bool ContactIndex::mayMatch(const Profile& p, const std::optional<std::string>& sender) const {
  if (!sender || !p.foldedUser) return true;
  const std::string& user = *p.foldedUser;
  const std::string_view longer = user.size() >= sender->size() ? user : *sender;
  const std::string_view shorter = user.size() >= sender->size() ? *sender : user;
  // A short needle is found fastest by the plain search; a long one by
  // Knuth-Morris-Pratt, linear whatever the two texts repeat.
  if (shorter.size() < 64) return longer.find(shorter) != std::string_view::npos;
  return containsLinear(longer, shorter);
}

bool ContactIndex::decidedFor(const Relevant& r, const Text& flagKey, const Key** decidingKey) const {
  if (!flagKey) return false;  // a switch without a name is never on
  for (uint32_t k : r.keys)
    if (keys_[k].entry[*flagKey].truthy()) {
      *decidingKey = &keys_[k];
      return true;
    }
  return false;
}

const std::shared_ptr<const ContactKeyIndex>& ContactIndex::sharedKeyIndex() const {
  std::call_once(keyIndexBuilt_, [this] { keyIndex_ = std::make_shared<const ContactKeyIndex>(settings_); });
  return keyIndex_;
}

bool ContactIndex::isNameBlocked(const DecisionInputs& d, const Text& sender, const Text& flagKey,
                                 Reason& reason) const {
  const std::vector<std::string> words = platform::contacts::foldedWords(sender.value_or(""));
  // The store answers the contacts that have, for every word of the text, a
  // name word it is a prefix of; the rarest word's list holds them all.
  const std::vector<uint32_t>* fewest = nullptr;
  for (const auto& w : words) {
    auto it = namePrefixes_.find(indexedPrefix(w));
    if (it == namePrefixes_.end()) {
      fewest = nullptr;
      break;
    }
    if (!fewest || it->second.size() < fewest->size()) fewest = &it->second;
  }
  if (fewest) {
    for (uint32_t ri : *fewest) {
      const Relevant& r = relevant_[ri];
      bool fits = std::all_of(words.begin(), words.end(), [&](const std::string& q) {
        return std::any_of(r.words.begin(), r.words.end(),
                           [&](const std::string& w) { return std::string_view(w).starts_with(q); });
      });
      if (!fits || !containsEither(sender, Text(r.composedName))) continue;
      const Key* key = nullptr;
      if (!decidedFor(r, flagKey, &key)) continue;
      addLine(reason, "CalmoraDebug: ", r.composedName, "..bundleIdentifier:-", objectText(flagKey));
      addLine(reason, "CalmoraDebug: isEqual");
      return listedAnswer(d);
    }
  }
  return fallbackAnswer(d, flagKey);
}

bool ContactIndex::isSocialBlocked(const DecisionInputs& d, const Text& sender, const Text& appNameLower,
                                   const Text& flagKey, Reason& reason) const {
  std::optional<std::string> folded = asciiFolded(asSecond(sender.value_or("")));
  for (const Profile& p : profiles_) {
    if (!mayMatch(p, folded)) continue;
    if (!containsEither(Text(p.lowerLabel), appNameLower)) continue;
    if (!containsEither(Text(p.userName), sender)) continue;
    const Relevant& r = relevant_[p.relevant];
    const Key* key = nullptr;
    if (!decidedFor(r, flagKey, &key)) continue;
    addLine(reason, "CalmoraDebug: appNameappName:-", objectText(appNameLower), " socialProfile.label:-", p.lowerLabel,
            "..isEqual:-1");
    addLine(reason, "CalmoraDebug:####profileName:=", p.userName, ", contactName:-", objectText(sender),
            ".contactIdentifier:-", withoutABPerson((*contacts_)[r.contact]->identifier), "..Key:-", key->name);
    bool blocked = listedAnswer(d);
    addLine(reason, blocked ? "CalmoraDebug: isSocialBlocked YESSS" : "CalmoraDebug: isSocialBlocked NOOOO");
    return blocked;
  }
  return fallbackAnswer(d, flagKey);
}

std::optional<std::string> ContactIndex::firstContactKeyInForce(const DecisionInputs& d, Reason& reason) const {
  // What isTimeNow reads besides this index: the local weekday and the
  // minute as "HH:mm", and the loaded switches, all of them.
  const QDateTime& now = d.localNow();
  const std::string minute = now.timeZone().id().toStdString() + " " + std::to_string(now.date().toJulianDay()) +
                             " " + std::to_string(now.time().hour() * 60 + now.time().minute());
  {
    std::lock_guard lock(scheduleMutex_);
    if (schedule_ && schedule_->minute == minute && schedule_->loaded == d.loaded) return schedule_->key;
  }
  std::optional<std::string> found;
  for (const auto& key : contactKeys_)
    if (isTimeNow(settings(), key, d, reason)) {
      found = key;
      break;
    }
  std::lock_guard lock(scheduleMutex_);
  schedule_ = ScheduleMemo{minute, d.loaded, found};
  return found;
}

std::shared_ptr<const ContactIndex> SenderIndexHolder::current(SettingsContent settings,
                                                                platform::contacts::ContactStore& store) {
  // The generation is taken before the contacts: a book that changes in
  // between gives contacts newer than the generation, and the next call
  // builds again.
  const uint64_t generation = store.generation();
  std::lock_guard lock(mutex_);
  if (held_ && held_->settings_ == settings && held_->store_ == &store && held_->storeGeneration_ == generation)
    return held_;
  // The settings' key index outlives a change of the address book alone.
  std::shared_ptr<const ContactKeyIndex> keys;
  if (held_ && held_->settings_ == settings) keys = held_->sharedKeyIndex();
  auto index = std::make_shared<ContactIndex>(std::move(settings), store.allContacts(), std::move(keys));
  index->store_ = &store;
  index->storeGeneration_ = generation;
  held_ = index;
  return held_;
}

}  // namespace calmora
