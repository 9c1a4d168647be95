// The pages of one contact's rules: the contact list, a contact's page
// (its block switch, weekdays and windows, and the "Block Apps" link) and
// its blocked-apps page. Both contact pages store into the contact's entry
// of the settings file, under the key the list handed over.
#pragma once

#include "CalmoPrefs/ordered_dictionary.h"
#include "platform/preferences/list_controller.h"

namespace calmoprefs {

class CMPContactListController : public platform::preferences::PSListController {
 public:
  void viewWillAppear(bool animated) override;
  void viewDidLoad() override;
  void viewWillDisappear(bool animated) override;
  std::vector<platform::preferences::PSSpecifierPtr>& specifiers() override;
  platform::plist::Value readPreferenceValue(const platform::preferences::PSSpecifier& specifier) override;
  void setPreferenceValue(platform::plist::Value value, platform::preferences::PSSpecifier& specifier) override;

  // The "Contacts" group and one row per contact, the settings read once.
  std::vector<platform::preferences::PSSpecifierPtr> appSpecifiers();
  const OrderedDictionary& sortedContactTable() const { return sorted_; }

 protected:
  std::shared_ptr<platform::preferences::PSListController> controllerForSpecifier(
      platform::preferences::PSSpecifier& specifier) override;

 private:
  OrderedDictionary sorted_;
};

// What the two contact pages share; `Plist` names their rows.
class ContactPage : public platform::preferences::PSListController {
 public:
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void setSpecifier(platform::preferences::PSSpecifierPtr specifier) override;
  void setPreferenceValue(platform::plist::Value value, platform::preferences::PSSpecifier& specifier) override;
  // Hands over a text being edited, then confirms with "Setting saved.",
  // or names the windows refused since the last confirmation.
  void save();

  const QString& fullName() const { return fullName_; }
  const QString& phoneNumber() const { return phoneNumber_; }

 protected:
  std::shared_ptr<platform::preferences::PSListController> controllerForSpecifier(
      platform::preferences::PSSpecifier& specifier) override;

  QString fullName_;
  QString phoneNumber_;  // the contact key

 private:
  std::vector<QString> refused_;  // typed windows not stored, for the next "Save"
};

class CMPContactSettingsController : public ContactPage {
 public:
  std::vector<platform::preferences::PSSpecifierPtr>& specifiers() override;
  // From the file its "defaults" names, as the cells were written to.
  platform::plist::Value readPreferenceValue(const platform::preferences::PSSpecifier& specifier) override;
};

// The plist's calling and messaging apps, and a notifications switch for
// every other installed app that has a display name.
class CMPBlockController : public ContactPage {
 public:
  std::vector<platform::preferences::PSSpecifierPtr>& specifiers() override;
  platform::plist::Value readPreferenceValue(const platform::preferences::PSSpecifier& specifier) override;

 private:
  void addInstalledApps();
};

}  // namespace calmoprefs
