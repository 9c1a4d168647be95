#include "CalmoPrefs/contact_pages.h"

#include "CalmoPrefs/contact_rows.h"
#include "CalmoPrefs/page_appearance.h"
#include "CalmoPrefs/root_list_controller.h"
#include "CalmoPrefs/schedule_window.h"
#include "CalmoPrefs/settings_store.h"
#include "common/names.h"
#include "platform/apps/app_registry.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/contacts/contact_store.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/application.h"
#include "platform/uikit/bar_items.h"
#include "platform/uikit/controls.h"

#include <QStringList>
#include <set>

namespace calmoprefs {

namespace pref = platform::preferences;
namespace plist = platform::plist;
namespace uk = platform::uikit;
namespace names = calmora::names;

namespace {

// A link to a page of `detail` for one contact, drawn as a link list.
pref::PSSpecifierPtr contactLink(const QString& name, pref::PSListController* target, const QString& detail,
                                 const QString& contactKey) {
  auto link = pref::PSSpecifier::preferenceSpecifierNamed(name, target, {}, "getIsWidgetSetForSpecifier:", detail,
                                                          pref::PSCellType::LinkList, {});
  link->setProperty("detail", plist::Value::string(detail.toStdString()));
  link->setProperty("isController", plist::Value::boolean(true));
  link->setProperty("enabled", plist::Value::boolean(true));
  link->setProperty("phoneNumber", plist::Value::string(contactKey.toStdString()));
  return link;
}

uk::UIImagePtr bundleImage(const pref::PSListController& page, const QString& name) {
  if (!page.bundle()) return nullptr;
  auto path = page.bundle()->pathForResource(name, "png");
  return path.isEmpty() ? nullptr : uk::UIImage::imageWithContentsOfFile(path);
}

}  // namespace

void CMPContactListController::viewWillAppear(bool animated) {
  PSListController::viewWillAppear(animated);
  applyPageAppearance(*this, false);
}

void CMPContactListController::viewDidLoad() {
  PSListController::viewDidLoad();
  specifiers();
  setTitle(contactListTitle(blockedCount(readSettings().ref()), sorted_.count()));
}

void CMPContactListController::viewWillDisappear(bool animated) {
  PSListController::viewWillDisappear(animated);
  resetPageAppearance(*this);
}

std::vector<pref::PSSpecifierPtr>& CMPContactListController::specifiers() {
  if (specifiers_.empty()) {
    specifiers_ = loadSpecifiersFromPlistName("Empty", this);
    for (auto& row : appSpecifiers()) specifiers_.push_back(std::move(row));
  }
  return specifiers_;
}

std::vector<pref::PSSpecifierPtr> CMPContactListController::appSpecifiers() {
  std::vector<pref::PSSpecifierPtr> rows;
  auto contacts = platform::contacts::sharedStore().allContacts();
  sorted_ = contacts ? sortedContacts(*contacts) : OrderedDictionary();
  rows.push_back(pref::PSSpecifier::groupSpecifierWithName("Contacts"));
  auto open = bundleImage(*this, "Contact@2x");
  auto blocked = bundleImage(*this, "ContactBl@2x");
  auto settings = readSettings();
  for (const auto& key : sorted_.keys()) {
    auto name = sorted_.objectForKey(key).text().value_or("");
    auto row = contactLink(QString::fromStdString(name), this, "CMPContactSettingsController", key);
    row->setProperty("hasIcon", plist::Value::boolean(true));
    row->iconImage = isBlocked(settings.ref(), key) ? blocked : open;
    rows.push_back(std::move(row));
  }
  return rows;
}

plist::Value CMPContactListController::readPreferenceValue(const pref::PSSpecifier& specifier) {
  return readSetting(specifier.key(), specifier.propertyForKey("default"));
}

void CMPContactListController::setPreferenceValue(plist::Value value, pref::PSSpecifier& specifier) {
  if (specifier.key().isEmpty()) return;
  if (auto written = writeSetting(specifier.key(), std::move(value)); !written)
    settingNotSaved(QString::fromStdString(written.error().describe()));
}

std::shared_ptr<pref::PSListController> CMPContactListController::controllerForSpecifier(pref::PSSpecifier& specifier) {
  if (auto page = controllerFromDetail(*this, specifier)) return page;
  return PSListController::controllerForSpecifier(specifier);
}

void ContactPage::viewWillAppear(bool animated) {
  PSListController::viewWillAppear(animated);
  navigationItem().setRightBarButtonItem(
      std::make_shared<uk::UIBarButtonItem>("Save", uk::UIBarButtonItemStyle::Plain, [this] { save(); }));
  setTitle(fullName_);
  applyPageAppearance(*this, false);
}

void ContactPage::viewWillDisappear(bool animated) {
  PSListController::viewWillDisappear(animated);
  resetPageAppearance(*this);
}

void ContactPage::setSpecifier(pref::PSSpecifierPtr specifier) {
  if (specifier) {
    fullName_ = specifier->name();
    phoneNumber_ = QString::fromStdString(specifier->propertyForKey("phoneNumber").text().value_or(""));
  }
  PSListController::setSpecifier(std::move(specifier));
}

void ContactPage::setPreferenceValue(plist::Value value, pref::PSSpecifier& specifier) {
  // Without a contact there is no entry to write into.
  if (phoneNumber_.isEmpty() || specifier.key().isEmpty()) return;
  if (specifier.key().startsWith(QLatin1String(names::settings::kWeekdayHourPrefix.data(),
                                               names::settings::kWeekdayHourPrefix.size()))) {
    auto typed = QString::fromStdString(value.ref().text().value_or("")).trimmed();
    if (typed.isEmpty()) {
      // An emptied field takes the day's window away; an empty one left
      // as it was is no entry at all.
      const plist::Value none;
      if (!readContactSetting(readSettings().ref(), phoneNumber_, specifier.key(), none.ref())) return;
      value = plist::Value();
    } else if (auto window = normalizedWindow(typed)) {
      value = plist::Value::string(window->toStdString());
    } else {
      // The library reads only "HH:mm-HH:mm"; anything else would stop the
      // window from ever applying, so it is refused and the old one kept.
      // The rows are rebuilt after the field's own handler is done.
      platform::log("CalmoPrefs: a window is written as HH:mm-HH:mm; kept the one stored");
      refused_.push_back(typed);
      reloadSpecifiersSoon();
      return;
    }
  }
  if (auto written = writeContactSetting(phoneNumber_, specifier.key(), std::move(value)); !written)
    settingNotSaved(QString::fromStdString(written.error().describe()));
}

void ContactPage::save() {
  if (auto* field = dynamic_cast<uk::UITextField*>(uk::UIApplication::sharedApplication().firstResponder()))
    field->resignFirstResponder();
  QString title = "Setting saved.", message;
  if (!refused_.empty()) {
    QStringList quoted;
    for (const auto& text : refused_) quoted << QString("\u201C%1\u201D").arg(text);
    title = "Window not saved.";
    message = QString("%1 %2 not of the form HH:mm-HH:mm; what was stored is kept. The rest of the page is saved.")
                  .arg(quoted.join(", "), refused_.size() == 1 ? "is" : "are");
    refused_.clear();
  }
  auto alert = uk::UIAlertController::alertControllerWithTitle(title, message, uk::UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<uk::UIAlertAction>("Ok", uk::UIAlertActionStyle::Cancel, nullptr));
  presentViewController(alert, true);
}

std::shared_ptr<pref::PSListController> ContactPage::controllerForSpecifier(pref::PSSpecifier& specifier) {
  if (auto page = controllerFromDetail(*this, specifier)) return page;
  return PSListController::controllerForSpecifier(specifier);
}

std::vector<pref::PSSpecifierPtr>& CMPContactSettingsController::specifiers() {
  if (specifiers_.empty()) {
    specifiers_ = loadSpecifiersFromPlistName("ContactSettings", this);
    // The schedule's note names the window rule the library runs by.
    const plist::Value settings = readSettings();
    plist::Ref overnight = settings.ref()[names::settings::kOvernightWindows];
    if (overnight.type() == plist::Type::Bool && overnight.truthy())
      for (auto& row : specifiers_)
        if (row->name() == QStringLiteral("Schedule"))
          row->setProperty("footerText", plist::Value::string("Windows may cross midnight: 22:00-07:00 on Monday "
                                                              "lasts until Tuesday 07:00."));
    auto link = contactLink("Block Apps", this, "CMPBlockController", phoneNumber_);
    specifiers_.insert(specifiers_.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(2, specifiers_.size())),
                       std::move(link));
  }
  return specifiers_;
}

plist::Value CMPContactSettingsController::readPreferenceValue(const pref::PSSpecifier& specifier) {
  auto file = readDomain(specifier.propertyForKey("defaults"));
  return readContactSetting(file.ref(), phoneNumber_, specifier.key(), specifier.propertyForKey("default"));
}

std::vector<pref::PSSpecifierPtr>& CMPBlockController::specifiers() {
  if (specifiers_.empty()) {
    specifiers_ = loadSpecifiersFromPlistName("BlockApps", this);
    addInstalledApps();
  }
  return specifiers_;
}

void CMPBlockController::addInstalledApps() {
  // The plist's rows keep their places; the other apps follow the last row
  // of "Notifications" (a group made for them when the plist has none).
  std::set<QString> listed;
  auto end = specifiers_.end();
  bool inGroup = false;
  for (auto row = specifiers_.begin(); row != specifiers_.end(); ++row) {
    if ((*row)->cellType() == pref::PSCellType::Group) {
      if (inGroup) break;
      inGroup = (*row)->name() == "Notifications";
    } else if (inGroup) {
      listed.insert((*row)->key());
    }
    end = row + 1;
  }
  std::vector<pref::PSSpecifierPtr> added;
  if (!inGroup) added.push_back(pref::PSSpecifier::groupSpecifierWithName("Notifications"));
  // The registry answers in the home screen's order: by display name.
  for (const auto& app : platform::apps::AppRegistry(platform::deviceRoot()).apps()) {
    auto key = QString::fromStdString(app.bundleIdentifier);
    if (app.displayName.empty() || listed.count(key)) continue;
    auto row = pref::PSSpecifier::preferenceSpecifierNamed(QString::fromStdString(app.displayName), this, {}, {}, {},
                                                           pref::PSCellType::Switch, {});
    row->setProperty("key", plist::Value::string(app.bundleIdentifier));
    row->setProperty("default", plist::Value::boolean(false));
    added.push_back(std::move(row));
  }
  if (added.size() > (inGroup ? 0u : 1u))
    specifiers_.insert(inGroup ? end : specifiers_.end(), added.begin(), added.end());
}

plist::Value CMPBlockController::readPreferenceValue(const pref::PSSpecifier& specifier) {
  return readContactSetting(readSettings().ref(), phoneNumber_, specifier.key(), specifier.propertyForKey("default"));
}

}  // namespace calmoprefs
