// contacts DIR list|add|delete: the device's address book, through the store
// and writers' lock the Contacts app uses, so that a script sets a device up
// without a text editor. JSON in and out.
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>
#include <iostream>
#include <iterator>

#include "platform/contacts/address_book.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/qt_text.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace {

namespace contacts = platform::contacts;
using platform::toQString;

constexpr const char* kContactsUsage =
    "usage: simctl contacts DIR list\n"
    "       simctl contacts DIR add [JSON|-]   (a person: givenName, familyName, organization,\n"
    "           phones/emails [{label, value}], socialProfiles [{service, userName}]; - or none: standard input)\n"
    "       simctl contacts DIR delete IDENTIFIER\n";

QJsonArray labeled(const std::vector<contacts::LabeledValue>& values) {
  QJsonArray out;
  for (const auto& v : values) out.append(QJsonObject{{"label", toQString(v.label)}, {"value", toQString(v.value)}});
  return out;
}

QJsonObject toJson(const contacts::Person& p) {
  QJsonArray profiles;
  for (const auto& s : p.socialProfiles)
    profiles.append(QJsonObject{{"service", toQString(s.label)}, {"userName", toQString(s.userName)}});
  return QJsonObject{{"identifier", toQString(p.identifier)},     {"givenName", toQString(p.givenName)},
                     {"familyName", toQString(p.familyName)},     {"organization", toQString(p.organization)},
                     {"phones", labeled(p.phones)},               {"emails", labeled(p.emails)},
                     {"socialProfiles", profiles}};
}

// Nothing, after a line on standard error, for JSON that is no person.
std::optional<contacts::Person> fromJson(const std::string& text) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  if (!doc.isObject()) {
    std::fprintf(stderr, "simctl: contacts add: not a JSON object: %s\n",
                 error.error == QJsonParseError::NoError ? "another JSON value" : qPrintable(error.errorString()));
    return std::nullopt;
  }
  const QJsonObject o = doc.object();
  auto str = [&](const char* key) { return o.value(key).toString().toStdString(); };
  contacts::Person p;
  p.givenName = str("givenName");
  p.familyName = str("familyName");
  p.organization = str("organization");
  auto values = [&](const char* key) {
    std::vector<contacts::LabeledValue> out;
    for (const auto& v : o.value(key).toArray()) {
      // A bare string is a value without a label.
      if (v.isString()) out.push_back({{}, v.toString().toStdString()});
      else out.push_back({v.toObject().value("label").toString().toStdString(),
                          v.toObject().value("value").toString().toStdString()});
    }
    return out;
  };
  p.phones = values("phones");
  p.emails = values("emails");
  for (const auto& v : o.value("socialProfiles").toArray())
    p.socialProfiles.push_back({v.toObject().value("service").toString().toStdString(),
                                v.toObject().value("userName").toString().toStdString()});
  return p;
}

int failed(const platform::Error& error) {
  std::fprintf(stderr, "simctl: contacts: %s\n", error.describe().c_str());
  return 1;
}

}  // namespace

int contactsVerb(const std::filesystem::path& dirArg, const Args& args) {
  const std::filesystem::path book = deviceDir(dirArg) / std::string(contacts::kAddressBookPath).substr(1);
  const std::string action = args.empty() ? "" : args[0];
  if (action == "list" && args.size() == 1) {
    auto read = contacts::readPeople(book);
    if (!read) return failed(read.error());
    QJsonArray people;
    for (const auto& p : read->people) people.append(toJson(p));
    QJsonObject out{{"contacts", people}};
    if (!read->problem.empty()) {
      out["unreadable"] = toQString(read->problem);
      std::fprintf(stderr, "simctl: contacts: %s: %s\n", book.c_str(), read->problem.c_str());
    }
    printJson(out);
    return 0;
  }
  if (action == "add" && args.size() <= 2) {
    std::string text;
    if (args.size() == 2 && args[1] != "-")
      text = args[1];
    else
      text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    auto person = fromJson(text);
    if (!person) return 2;
    auto added = contacts::addPerson(book, *person);
    if (!added) return failed(added.error());
    printJson(QJsonObject{{"identifier", toQString(*added)}});
    return 0;
  }
  if (action == "delete" && args.size() == 2) {
    if (auto deleted = contacts::deletePerson(book, args[1]); !deleted) return failed(deleted.error());
    printJson(QJsonObject{{"deleted", toQString(args[1])}});
    return 0;
  }
  std::fprintf(stderr, "%s", kContactsUsage);
  return 2;
}

}  // namespace simctl
