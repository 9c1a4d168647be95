// What the Device controls of a viewer (the device window's menu, the
// browser page) offer and the home-screen requests they send: the same
// requests as simctl call and bulletin.
#pragma once

#include <QJsonObject>
#include <QString>
#include <filesystem>
#include <string>
#include <vector>

namespace device_actions {

struct Person {
  QString name;  // given and family name
  std::string identifier;
};
// The address book's people.
std::vector<Person> people(const std::filesystem::path& root);

// An app a call can come through, of those the pane's Block Apps lists
// under Calls: its name, bundle and the provider's name a call carries.
struct CallingApp {
  QString name, bundle, provider;
};
// Phone always, the others where installed.
std::vector<CallingApp> callingApps(const std::filesystem::path& root);

// An installed app that may show a notification, by name and bundle.
struct App {
  QString name, bundle;
};
std::vector<App> apps(const std::filesystem::path& root);
inline constexpr const char* kMessagesBundle = "com.apple.MobileSMS";

// An incoming call from `caller` (a person's name, carrying their
// identifier; a number, read in the device's locale; any other name)
// through `through`.
QJsonObject callRequest(const std::filesystem::path& root, const std::vector<Person>& book, const QString& caller,
                        const CallingApp& through);
// What the phone did with a call, from the home screen's answer to it, as a
// viewer tells the person who sent it: "Ringing" or "Ended before it rang"
// (the phone cannot tell a blocked call from one the caller ended).
QString callOutcome(const QJsonObject& answer);
// A message of app `bundle` from `sender`.
QJsonObject messageRequest(const QString& bundle, const QString& sender, const QString& text);

}  // namespace device_actions
