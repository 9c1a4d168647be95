#include "platform/contacts/address_book.h"

#include <unistd.h>

#include <QUuid>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/contacts/vcard.h"
#include "platform/contacts/vcard_syntax.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/file_lock.h"

namespace platform::contacts {
namespace {

using namespace vcard;

constexpr std::string_view kSuffix = ":ABPerson";

// A logical line with the bytes it takes in the file, line end included,
// so that a card is rewritten around the lines it keeps, byte for byte.
struct RawLine {
  size_t begin = 0, end = 0;
  std::string text;  // unfolded
  size_t number = 0;
  std::optional<Property> property;  // none: no vCard property; points into `text`
};

struct RawCard {
  size_t begin = 0, end = 0;
  size_t beginLine = 0, endLine = 0;  // the BEGIN and END lines' indexes
  std::vector<size_t> lines;  // indexes into the book's lines, BEGIN and END left out
};

struct Book {
  std::string_view text;
  std::vector<RawLine> lines;
  std::vector<RawCard> cards;
  std::string eol = "\r\n";
  size_t firstCutLine = 0;  // the BEGIN of a card cut short, 0 when none
  size_t skippedLines = 0, firstSkippedLine = 0;  // no property, or outside any card
};

// Unfolded as the reader unfolds them, so that the two agree on what a
// line is.
std::vector<RawLine> rawLines(std::string_view text) {
  std::vector<RawLine> lines;
  for (Line& line : unfold(text)) lines.push_back({line.begin, line.end, std::move(line.text), line.number, std::nullopt});
  // Parsed once the texts stay where they are.
  for (RawLine& line : lines) line.property = parseProperty(line.text);
  return lines;
}

bool isVCardMark(const RawLine& line, std::string_view name) {
  const auto& p = line.property;
  return p && p->name == name && equalsIgnoringCase(trim(p->value), "VCARD");
}

Book split(std::string_view text) {
  Book book;
  book.text = text;
  if (size_t end = text.find('\n'); end != std::string_view::npos && (end == 0 || text[end - 1] != '\r'))
    book.eol = "\n";
  book.lines = rawLines(text);
  std::optional<RawCard> open;
  size_t openLine = 0;
  for (size_t i = 0; i < book.lines.size(); ++i) {
    const RawLine& line = book.lines[i];
    if (isVCardMark(line, "BEGIN")) {
      if (open && !book.firstCutLine) book.firstCutLine = openLine;
      open = RawCard{line.begin, 0, i, 0, {}};
      openLine = line.number;
    } else if (open && isVCardMark(line, "END")) {
      open->end = line.end;
      open->endLine = i;
      book.cards.push_back(std::move(*open));
      open.reset();
    } else {
      if (open) open->lines.push_back(i);
      if ((!open || !line.property) && book.skippedLines++ == 0) book.firstSkippedLine = line.number;
    }
  }
  if (open && !book.firstCutLine) book.firstCutLine = openLine;
  return book;
}

// "item1.TEL": the group, which ties a label line to its value.
std::string_view groupOf(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && line[i] != '.' && line[i] != ':' && line[i] != ';') ++i;
  return i < line.size() && line[i] == '.' ? line.substr(0, i) : std::string_view();
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The first type that says what kind of number or address it is.
std::string typeLabel(const Property& p) {
  for (std::string_view name : {"type", "service-type"})
    if (const auto* values = p.param(name))
      for (const auto& v : *values)
        for (auto part : splitStructured(v, ',')) {
          std::string t = lower(trim(part));
          if (t.empty() || t == "pref" || t == "voice" || t == "internet" || t == "x400") continue;
          return t == "cell" ? "mobile" : t;
        }
  return {};
}

// Address-book programs write their own labels as "_$!<Mobile>!$_".
std::string abLabel(std::string value) {
  if (value.starts_with("_$!<") && value.ends_with(">!$_")) value = value.substr(4, value.size() - 8);
  return lower(value);
}

bool isEditedProperty(std::string_view name) {
  return name == "N" || name == "FN" || name == "ORG" || name == "TEL" || name == "EMAIL" ||
         name == "X-SOCIALPROFILE" || name == "SOCIALPROFILE";
}

// A card as the person sees it, read as the hook library's store reads it
// (names, numbers, profiles, UID) plus what only the app shows. `hasUid`
// false: the identifier is left for the store's reading to give.
Person personOf(const Book& book, const RawCard& card, bool& hasUid) {
  Person person;
  std::string formatted;
  hasUid = false;
  std::vector<std::pair<std::string, std::string>> groupLabels;
  struct Grouped {
    std::vector<LabeledValue>* list;
    size_t index;
    std::string group;
  };
  std::vector<Grouped> grouped;
  for (size_t i : card.lines) {
    const std::string& text = book.lines[i].text;
    if (!book.lines[i].property) continue;
    const Property& p = *book.lines[i].property;
    std::vector<LabeledValue>* list = nullptr;
    std::string value;
    if (p.name == "N") {
      if (person.givenName.empty() && person.familyName.empty()) {
        auto parts = splitStructured(p.value, ';');
        person.familyName = textValue(parts[0]);
        if (parts.size() > 1) person.givenName = textValue(parts[1]);
      }
    } else if (p.name == "FN") {
      if (formatted.empty()) formatted = textValue(p.value);
    } else if (p.name == "UID") {
      if (!hasUid)
        if (std::string uid = textValue(p.value); !uid.empty()) {
          person.identifier = uid + std::string(kSuffix);
          hasUid = true;
        }
    } else if (p.name == "ORG") {
      if (person.organization.empty()) person.organization = textValue(splitStructured(p.value, ';')[0]);
    } else if (p.name == "TEL") {
      value = textValue(p.value);
      if (value.size() >= 4 && equalsIgnoringCase(std::string_view(value).substr(0, 4), "tel:")) value.erase(0, 4);
      list = &person.phones;
    } else if (p.name == "EMAIL") {
      value = textValue(p.value);
      list = &person.emails;
    } else if (p.name == "X-ABLABEL") {
      if (auto g = groupOf(text); !g.empty()) groupLabels.emplace_back(std::string(g), abLabel(textValue(p.value)));
    } else if (p.name == "X-SOCIALPROFILE" || p.name == "SOCIALPROFILE") {
      SocialProfile profile = socialProfileOf(p);
      if (!profile.label.empty() || !profile.userName.empty()) person.socialProfiles.push_back(std::move(profile));
    }
    if (list && !value.empty()) {
      list->push_back({typeLabel(p), std::move(value)});
      if (auto g = groupOf(text); !g.empty()) grouped.push_back({list, list->size() - 1, std::string(g)});
    }
  }
  if (person.givenName.empty() && person.familyName.empty()) person.givenName = formatted;
  for (const auto& [group, label] : groupLabels)
    for (const auto& g : grouped)
      if (g.group == group) (*g.list)[g.index].label = label;
  return person;
}

std::string escapeText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\\' || c == ';' || c == ',') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// A quoted parameter value, its quotes, carets and line breaks caret-encoded.
std::string paramValue(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\r') continue;
    if (c == '"') out += "^'";
    else if (c == '\n') out += "^n";
    else if (c == '^') out += "^^";
    else out.push_back(c);
  }
  return out + "\"";
}

std::string typed(std::string_view name, std::string_view label) {
  std::string out(name);
  if (!label.empty()) out += ";TYPE=" + paramValue(label);
  return out;
}

Error failure(ErrorCode code, std::string context) { return Error{code, 0, std::move(context)}; }

struct Snapshot {
  std::string text;
  std::optional<FileVersion> version;  // none: no file yet
};

Result<Snapshot> readSnapshot(const std::filesystem::path& file) {
  auto fd = openRegularFile(file, kMaxFileBytes);
  if (!fd) {
    if (fd.error().code == ErrorCode::NotFound) return Snapshot{};
    return fd.error();
  }
  Snapshot snap;
  snap.version = fileVersion(*fd);
  auto text = readAll(*fd, file);
  ::close(*fd);
  if (!text) return text.error();
  snap.text = std::move(*text);
  return snap;
}

// The cards and the identifiers the store gives them, which a card without
// UID owes to its content.
struct Identified {
  Book book;
  std::vector<Contact> contacts;  // one per card when the book is whole
};

Identified identify(std::string_view text) {
  Identified out{split(text), parseVCards(text).contacts};
  return out;
}

// Under the writers' lock: reads the book afresh, lets `change` make the
// new text from it, and replaces the file unless someone who takes no lock
// replaced it meanwhile (then it starts again from the new file).
template <class Change>
Result<void> rewrite(const std::filesystem::path& file, Change&& change) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  auto lock = ExclusiveFileLock::acquire(writersLockOf(file));
  if (!lock) return lock.error();
  removeStaleTemporaries(file);
  for (int attempt = 0; attempt < 5; ++attempt) {
    auto snap = readSnapshot(file);
    if (!snap) return snap.error();
    Identified book = identify(snap->text);
    if (book.book.firstCutLine)
      return failure(ErrorCode::Malformed, file.string() + ": the card at line " +
                                               std::to_string(book.book.firstCutLine) +
                                               " has no END:VCARD; the book is left as it is until it is mended");
    if (book.contacts.size() != book.book.cards.size())
      return failure(ErrorCode::Malformed, file.string() + ": the cards could not be told apart; left as it is");
    Result<std::string> next = change(book);
    if (!next) return next.error();
    auto replaced = replaceIfUnchanged(file, snap->version, *next);
    if (replaced || replaced.error().code != ErrorCode::Changed) return replaced;
  }
  return failure(ErrorCode::Changed, file.string() + ": changed by another writer at every try");
}

std::optional<size_t> cardIndex(const Identified& book, const std::string& identifier) {
  for (size_t i = 0; i < book.contacts.size(); ++i)
    if (book.contacts[i].identifier == identifier) return i;
  return std::nullopt;
}

bool isBlank(const Person& p) {
  auto blank = [](const std::string& s) { return trim(s).empty(); };
  auto none = [&](const std::vector<LabeledValue>& v) {
    for (const auto& x : v)
      if (!blank(x.value)) return false;
    return true;
  };
  return blank(p.givenName) && blank(p.familyName) && blank(p.organization) && none(p.phones) && none(p.emails);
}

}  // namespace

std::string Person::displayName() const {
  std::string name = givenName;
  if (!familyName.empty()) name += (name.empty() ? "" : " ") + familyName;
  if (!name.empty()) return name;
  if (!organization.empty()) return organization;
  if (!phones.empty()) return phones.front().value;
  if (!emails.empty()) return emails.front().value;
  return {};
}

std::filesystem::path writersLockOf(const std::filesystem::path& file) {
  return file.parent_path() / (file.filename().string() + ".lock");
}

std::string cardLines(const Person& person, const std::string& uid, std::string_view eol) {
  std::string out;
  auto line = [&](const std::string& text) {
    out += text;
    out += eol;
  };
  if (!uid.empty()) line("UID:" + escapeText(uid));
  line("N:" + escapeText(person.familyName) + ";" + escapeText(person.givenName) + ";;;");
  line("FN:" + escapeText(person.displayName()));
  if (!person.organization.empty()) line("ORG:" + escapeText(person.organization) + ";");
  for (const auto& phone : person.phones)
    if (!trim(phone.value).empty()) line(typed("TEL", phone.label) + ":" + escapeText(phone.value));
  for (const auto& mail : person.emails)
    if (!trim(mail.value).empty()) line(typed("EMAIL", mail.label) + ":" + escapeText(mail.value));
  for (const auto& profile : person.socialProfiles) {
    if (trim(profile.userName).empty()) continue;
    line(typed("X-SOCIALPROFILE", profile.label) + ";X-USER=" + paramValue(profile.userName) +
         ":x-apple:" + escapeText(profile.userName));
  }
  return out;
}

Result<BookReading> readPeople(const std::filesystem::path& file) {
  auto snap = readSnapshot(file);
  if (!snap) return snap.error();
  BookReading reading;
  const Book book = split(snap->text);
  reading.damaged = book.firstCutLine != 0;
  if (!reading.damaged) {
    reading.people.reserve(book.cards.size());
    bool allHaveUid = true;
    for (const RawCard& card : book.cards) {
      bool hasUid = false;
      reading.people.push_back(personOf(book, card, hasUid));
      allHaveUid = allHaveUid && hasUid;
    }
    // A card without UID is known by what its content hashes to, as the
    // store derives it (copies of one card apart): the store's reading says.
    if (!allHaveUid) {
      const auto contacts = parseVCards(snap->text).contacts;
      if (contacts.size() == reading.people.size())
        for (size_t i = 0; i < contacts.size(); ++i) reading.people[i].identifier = contacts[i].identifier;
    }
  } else {
    for (const Contact& c : parseVCards(snap->text).contacts) {
      Person p{c.identifier, c.givenName, c.familyName, {}, {}, {}, c.socialProfiles};
      for (const auto& number : c.phoneNumbers) p.phones.push_back({{}, number});
      reading.people.push_back(std::move(p));
    }
  }
  std::string problem;
  if (book.skippedLines)
    problem = std::to_string(book.skippedLines) + " line(s) that are no vCard property, the first at line " +
              std::to_string(book.firstSkippedLine);
  if (book.firstCutLine)
    problem += (problem.empty() ? "" : "; ") + std::string("a card without its end at line ") +
               std::to_string(book.firstCutLine);
  reading.problem = std::move(problem);
  return reading;
}

Result<std::string> addPerson(const std::filesystem::path& file, const Person& person) {
  if (isBlank(person)) return failure(ErrorCode::Empty, "a contact needs a name, a number or an address");
  const std::string uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
  auto done = rewrite(file, [&](const Identified& book) -> Result<std::string> {
    std::string text(book.book.text);
    if (!text.empty() && !text.ends_with('\n') && !text.ends_with('\r')) text += book.book.eol;
    const std::string& eol = book.book.eol;
    text += "BEGIN:VCARD" + eol + "VERSION:3.0" + eol + cardLines(person, uid, eol) + "END:VCARD" + eol;
    return text;
  });
  if (!done) return done.error();
  return uid + std::string(kSuffix);
}

Result<void> updatePerson(const std::filesystem::path& file, const Person& person) {
  if (isBlank(person)) return failure(ErrorCode::Empty, "a contact needs a name, a number or an address");
  return rewrite(file, [&](const Identified& book) -> Result<std::string> {
    auto index = cardIndex(book, person.identifier);
    if (!index) return failure(ErrorCode::NotFound, "no contact " + person.identifier);
    const Book& b = book.book;
    const RawCard& card = b.cards[*index];
    // What the card says beyond the edited fields stays, byte for byte;
    // so do the labels grouped with fields that are not edited.
    std::vector<std::string_view> droppedGroups;
    bool hasUid = false;
    for (size_t i : card.lines) {
      const auto& p = b.lines[i].property;
      if (!p) continue;
      if (p->name == "UID" && !textValue(p->value).empty()) hasUid = true;
      if (isEditedProperty(p->name))
        if (auto g = groupOf(b.lines[i].text); !g.empty()) droppedGroups.push_back(g);
    }
    auto raw = [&](size_t i) { return b.text.substr(b.lines[i].begin, b.lines[i].end - b.lines[i].begin); };
    auto withEnd = [&](std::string_view t) {
      std::string out(t);
      if (!out.ends_with('\n') && !out.ends_with('\r')) out += b.eol;
      return out;
    };
    std::string text(b.text.substr(0, card.begin));
    text += withEnd(raw(card.beginLine));
    for (size_t i : card.lines) {
      const auto& p = b.lines[i].property;
      auto g = groupOf(b.lines[i].text);
      bool dropped = p && (isEditedProperty(p->name) ||
                           (!g.empty() && std::find(droppedGroups.begin(), droppedGroups.end(), g) !=
                                              droppedGroups.end()));
      if (!dropped) text += withEnd(raw(i));
    }
    std::string uid;
    if (!hasUid) uid = person.identifier.substr(0, person.identifier.size() - kSuffix.size());
    text += cardLines(person, uid, b.eol);
    text += b.text.substr(b.lines[card.endLine].begin);
    return text;
  });
}

Result<void> deletePerson(const std::filesystem::path& file, const std::string& identifier) {
  return rewrite(file, [&](const Identified& book) -> Result<std::string> {
    auto index = cardIndex(book, identifier);
    if (!index) return failure(ErrorCode::NotFound, "no contact " + identifier);
    const RawCard& card = book.book.cards[*index];
    std::string text(book.book.text.substr(0, card.begin));
    text += book.book.text.substr(card.end);
    return text;
  });
}

}  // namespace platform::contacts
