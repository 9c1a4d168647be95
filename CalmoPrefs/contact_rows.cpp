#include "CalmoPrefs/contact_rows.h"

#include <QCollator>
#include <algorithm>

#include "common/names.h"
#include "platform/foundation/log.h"

namespace calmoprefs {

namespace plist = platform::plist;
namespace names = calmora::names;

QString contactKey(const platform::contacts::Contact& contact) {
  return QString::fromStdString(contact.identifier)
      .remove(QLatin1String(names::settings::kABPersonSuffix.data(), names::settings::kABPersonSuffix.size()));
}

QString displayName(const platform::contacts::Contact& contact) {
  auto given = QString::fromStdString(contact.givenName);
  auto family = QString::fromStdString(contact.familyName);
  if (!given.isEmpty() && !family.isEmpty()) return given + ' ' + family;
  return given.isEmpty() ? family : given;
}

OrderedDictionary sortedContacts(const std::vector<std::shared_ptr<const platform::contacts::Contact>>& contacts) {
  struct Row {
    QString key, name;
    QCollatorSortKey sortKey;
  };
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::vector<Row> rows;
  rows.reserve(contacts.size());
  for (const auto& contact : contacts) {
    if (!contact || contact->phoneNumbers.empty()) continue;
    auto key = contactKey(*contact);
    auto name = displayName(*contact);
    // Folded first: a collator of the C locale would otherwise put "Bob" before "anna".
    rows.push_back({key, name, collator.sortKey(name.toCaseFolded())});
  }
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    int order = a.sortKey.compare(b.sortKey);
    return order != 0 ? order < 0 : a.key < b.key;
  });
  // One line per build: a line per contact (or per number) costs more than
  // building the rows of a large address book.
  platform::log("CalmoDebug contacts listed: ", rows.size(), " of ", contacts.size());
  OrderedDictionary sorted(rows.size());
  // A contact listed twice in the book (one key) keeps its first place.
  for (auto& row : rows)
    if (!sorted.objectForKey(row.key)) sorted.setObject(plist::Value::string(row.name.toStdString()), row.key);
  return sorted;
}

bool isBlocked(plist::Ref settings, const QString& key) {
  auto entry = settings[key.toStdString()];
  return entry.isDict() && entry[names::settings::kIsBlocked].truthy();
}

long blockedCount(plist::Ref settings) {
  long count = 0;
  settings.forEach([&](std::string_view, plist::Ref value) {
    if (value.isDict() && value[names::settings::kIsBlocked].truthy()) ++count;
    return true;
  });
  return count;
}

QString contactListTitle(long blocked, size_t listed) {
  return blocked > 0 ? QString("Blocked Contacts %1").arg(blocked) : QString("%1 Contacts").arg(listed);
}

}  // namespace calmoprefs
