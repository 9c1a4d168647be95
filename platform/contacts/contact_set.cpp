#include "platform/contacts/contact_set.h"

#include <cstring>

#include "platform/foundation/qt_text.h"

namespace platform::contacts {

std::vector<std::string> foldedWords(std::string_view text) {
  // Folding first lets a decomposed "E" + accent and a composed "É" meet in
  // the same composed "é".
  const QString folded = toQString(text)
                             .toCaseFolded()
                             .normalized(QString::NormalizationForm_C);
  std::vector<std::string> words;
  qsizetype start = -1;
  for (qsizetype i = 0; i <= folded.size(); ++i) {
    bool boundary = i == folded.size() || folded.at(i).isSpace();
    if (boundary && start >= 0) {
      words.push_back(QStringView(folded).mid(start, i - start).toUtf8().toStdString());
      start = -1;
    } else if (!boundary && start < 0) {
      start = i;
    }
  }
  return words;
}

ContactSet::ContactSet(std::vector<Contact> contacts) {
  auto list = std::make_shared<ContactList>();
  list->reserve(contacts.size());
  firstWordOf_.reserve(contacts.size() + 1);
  for (auto& c : contacts) {
    firstWordOf_.push_back(static_cast<uint32_t>(wordEnds_.size()));
    for (const std::string* name : {&c.givenName, &c.familyName})
      for (const auto& w : foldedWords(*name)) {
        words_.append(w);
        wordEnds_.push_back(static_cast<uint32_t>(words_.size()));
      }
    list->push_back(std::make_shared<const Contact>(std::move(c)));
  }
  firstWordOf_.push_back(static_cast<uint32_t>(wordEnds_.size()));
  contacts_ = std::move(list);
}

ContactList ContactSet::matchingName(std::string_view text) const {
  ContactList out;
  const std::vector<std::string> query = foldedWords(text);
  if (query.empty()) return out;
  // UTF-8 never starts a character inside another, so a byte prefix of a
  // word is a character prefix of it.
  auto fitsSomeWord = [&](const std::string& q, uint32_t first, uint32_t last) {
    for (uint32_t w = first; w < last; ++w) {
      uint32_t begin = w == 0 ? 0 : wordEnds_[w - 1];
      if (wordEnds_[w] - begin >= q.size() && std::memcmp(words_.data() + begin, q.data(), q.size()) == 0)
        return true;
    }
    return false;
  };
  for (size_t i = 0; i + 1 < firstWordOf_.size(); ++i) {
    bool fits = true;
    for (const auto& q : query)
      if (!fitsSomeWord(q, firstWordOf_[i], firstWordOf_[i + 1])) {
        fits = false;
        break;
      }
    if (fits) out.push_back((*contacts_)[i]);
  }
  return out;
}

}  // namespace platform::contacts
