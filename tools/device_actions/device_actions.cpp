#include "tools/device_actions/device_actions.h"

#include "platform/apps/app_registry.h"
#include "platform/apps/calling_apps.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/contacts/contact_store.h"
#include "platform/contacts/phone_numbers.h"
#include "platform/foundation/device_description.h"

namespace device_actions {
namespace home_screen = platform::automation::home_screen;

std::vector<Person> people(const std::filesystem::path& root) {
  std::vector<Person> out;
  auto store = platform::contacts::makeVCardStore(root / "var/mobile/Library/AddressBook/contacts.vcf",
                                                  platform::contacts::ContactsAccess::Granted);
  for (const auto& c : *store->allContacts())
    out.push_back({QString::fromStdString(c->givenName + (c->familyName.empty() ? "" : " " + c->familyName)),
                   c->identifier});
  return out;
}

std::vector<CallingApp> callingApps(const std::filesystem::path& root) {
  platform::apps::AppRegistry installed(root);
  std::vector<CallingApp> out;
  for (const auto& app : platform::apps::kCallingApps)
    if (&app == platform::apps::kCallingApps || installed.app(app.bundle))
      out.push_back({app.name, app.bundle, app.provider});
  return out;
}

std::vector<App> apps(const std::filesystem::path& root) {
  std::vector<App> out;
  for (const auto& info : platform::apps::AppRegistry(root).apps())
    out.push_back({QString::fromStdString(info.displayName.empty() ? info.bundleIdentifier : info.displayName),
                   QString::fromStdString(info.bundleIdentifier)});
  return out;
}

QJsonObject callRequest(const std::filesystem::path& root, const std::vector<Person>& book, const QString& caller,
                        const CallingApp& through) {
  QJsonObject request =
      requestOf(home_screen::kCall, {{"provider", through.provider}, {"providerBundle", through.bundle}});
  for (const auto& person : book)
    if (person.name == caller) request["contact"] = QString::fromStdString(person.identifier);
  // A typed number comes as a number, which the phone matches to a contact.
  const bool number = !request.contains("contact") &&
                      platform::contacts::PhoneNumbers(platform::readDeviceDescription(root).locale).keys(caller.toStdString());
  request[number ? "number" : "name"] = caller;
  return request;
}

QJsonObject messageRequest(const QString& bundle, const QString& sender, const QString& text) {
  return requestOf(home_screen::kBulletin, {{"section", bundle}, {"title", sender}, {"message", text}});
}

}  // namespace device_actions
