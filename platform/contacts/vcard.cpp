#include "platform/contacts/vcard.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <QUrl>

#include <cstdio>
#include <optional>
#include <set>
#include <utility>

#include "platform/contacts/vcard_syntax.h"

namespace platform::contacts {
namespace {

using namespace vcard;

// The label of a social profile: its first type that is not the preference
// mark. 4.0 quotes type lists ("work,voice"), 3.0 repeats them.
std::string profileLabel(const Property& p) {
  for (std::string_view paramName : {"type", "service-type"})
    for (const auto& param : p.params) {
      if (param.name != paramName) continue;
      for (const auto& v : param.values)
        for (auto part : splitStructured(v, ','))
          if (auto t = trim(part); !t.empty() && !equalsIgnoringCase(t, "pref")) return std::string(t);
    }
  return {};
}

struct Card {
  Contact contact;
  std::string formattedName;
  bool hasUid = false;
  std::string content;  // what a derived identifier is hashed from

  bool hasAnything() const {
    return !contact.givenName.empty() || !contact.familyName.empty() || !formattedName.empty() ||
           !contact.phoneNumbers.empty() || !contact.socialProfiles.empty() || hasUid;
  }
};

void addProperty(Card& card, const Property& p, std::string_view line) {
  Contact& c = card.contact;
  if (p.name == "N") {
    if (c.givenName.empty() && c.familyName.empty()) {
      auto parts = splitStructured(p.value, ';');
      c.familyName = textValue(parts[0]);
      if (parts.size() > 1) c.givenName = textValue(parts[1]);
    }
  } else if (p.name == "FN") {
    if (card.formattedName.empty()) card.formattedName = textValue(p.value);
  } else if (p.name == "TEL") {
    std::string number = textValue(p.value);
    if (number.size() >= 4 && equalsIgnoringCase(std::string_view(number).substr(0, 4), "tel:"))
      number.erase(0, 4);  // 4.0 writes numbers as tel: URIs
    if (!number.empty()) c.phoneNumbers.push_back(std::move(number));
  } else if (p.name == "UID") {
    if (!card.hasUid) {
      std::string uid = textValue(p.value);
      if (!uid.empty()) {
        c.identifier = uid + ":ABPerson";
        card.hasUid = true;
      }
    }
  } else if (p.name == "X-SOCIALPROFILE" || p.name == "SOCIALPROFILE") {
    SocialProfile profile = socialProfileOf(p);
    if (!profile.label.empty() || !profile.userName.empty()) c.socialProfiles.push_back(std::move(profile));
  }
  // Exporters restamp these on every export; the person stays the same.
  if (p.name != "VERSION" && p.name != "PRODID" && p.name != "REV") {
    card.content.append(trim(line));
    card.content.push_back('\n');
  }
}

// A name-based UUID (SHA-1, version 5 layout), shaped like the UIDs that
// address-book programs write.
std::string uuidFromContent(std::string_view content) {
  QByteArray digest = QCryptographicHash::hash(
      QByteArray::fromRawData(content.data(), static_cast<qsizetype>(content.size())),
      QCryptographicHash::Sha1);
  unsigned char b[16];
  for (int i = 0; i < 16; ++i) b[i] = static_cast<unsigned char>(digest[i]);
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x50);
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
  char out[37];
  std::snprintf(out, sizeof out, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return out;
}

Contact finish(Card& card, std::set<std::string>& derivedIds) {
  Contact& c = card.contact;
  // 4.0 makes N optional; such cards carry their name in FN only.
  if (c.givenName.empty() && c.familyName.empty()) c.givenName = card.formattedName;
  if (!card.hasUid) {
    // Identical cards still need distinct identifiers; the n-th copy hashes
    // its position among the copies, which keeps it stable.
    std::string id = uuidFromContent(card.content);
    for (int copy = 2; derivedIds.count(id); ++copy)
      id = uuidFromContent(card.content + "#" + std::to_string(copy));
    derivedIds.insert(id);
    c.identifier = id + ":ABPerson";
  }
  return std::move(c);
}

}  // namespace

SocialProfile socialProfileOf(const vcard::Property& p) {
  SocialProfile profile{profileLabel(p), {}};
  if (const auto* users = p.param("x-user"))
    for (const auto& u : *users)
      if (auto t = vcard::trim(u); !t.empty()) {
        profile.userName = std::string(t);
        break;
      }
  if (profile.userName.empty()) profile.userName = userNameFromProfileValue(vcard::unescape(p.value));
  return profile;
}

std::string userNameFromProfileValue(std::string_view value) {
  std::string_view v = trim(value);
  if (size_t cut = v.find_first_of("?#"); cut != std::string_view::npos) v = v.substr(0, cut);
  if (size_t scheme = v.find("://"); scheme != std::string_view::npos) {
    size_t path = v.find('/', scheme + 3);
    if (path == std::string_view::npos) return {};  // a bare host names nobody
    v = v.substr(path);
  }
  while (!v.empty() && v.back() == '/') v.remove_suffix(1);
  if (size_t last = v.find_last_of("/:"); last != std::string_view::npos) v = v.substr(last + 1);
  if (v.find('%') == std::string_view::npos) return std::string(v);
  return QUrl::fromPercentEncoding(QByteArray(v.data(), static_cast<qsizetype>(v.size()))).toStdString();
}

VCardParseResult parseVCards(std::string_view text) {
  VCardParseResult result;
  std::optional<Card> card;
  std::set<std::string> derivedIds;
  auto skip = [&](size_t lineNumber) {
    if (result.skippedLines++ == 0) result.firstSkippedLine = lineNumber;
  };
  auto close = [&](bool terminated) {
    if (!terminated) ++result.unterminatedCards;
    // A card cut short counts only if what it had names someone.
    if (terminated || card->hasAnything()) result.contacts.push_back(finish(*card, derivedIds));
    card.reset();
  };

  for (const Line& line : unfold(text)) {
    auto property = parseProperty(line.text);
    if (!property) {
      skip(line.number);
      continue;
    }
    bool isVCard = equalsIgnoringCase(trim(property->value), "VCARD");
    if (property->name == "BEGIN" && isVCard) {
      if (card) close(false);
      card.emplace();
    } else if (property->name == "END" && isVCard) {
      if (card)
        close(true);
      else
        skip(line.number);
    } else if (card) {
      addProperty(*card, *property, line.text);
    } else {
      skip(line.number);
    }
  }
  if (card) close(false);
  return result;
}

}  // namespace platform::contacts
