#include "tools/device_window/device_menu.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QJsonObject>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>

#include "platform/apps/app_registry.h"
#include "platform/automation/client.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_appearance.h"

namespace device_window {
namespace home_screen = platform::automation::home_screen;

namespace {

// The apps a call can come through, those the pane's Block Apps lists under
// Calls: the app's name, its bundle and the provider's name a call carries.
struct CallingApp {
  const char* name;
  const char* bundle;
  const char* provider;
};
constexpr CallingApp kCallingApps[] = {
    {"Phone", "com.apple.mobilephone", "Telephony"},
    {"FaceTime", "com.apple.facetime", "FaceTime"},
    {"WhatsApp", "net.whatsapp.WhatsApp", "WhatsApp"},
    {"Signal", "org.whispersystems.signal", "Signal"},
    {"Telegram", "ph.telegra.Telegraph", "Telegram"},
    {"Messenger", "com.facebook.Messenger", "Messenger"},
    {"Discord", "com.hammerandchisel.discord", "Discord"},
};

// The address book's people by their names, with their identifiers.
std::vector<std::pair<QString, std::string>> people(const std::filesystem::path& root) {
  std::vector<std::pair<QString, std::string>> out;
  auto store = platform::contacts::makeVCardStore(root / "var/mobile/Library/AddressBook/contacts.vcf",
                                                  platform::contacts::ContactsAccess::Granted);
  for (const auto& c : *store->allContacts())
    out.emplace_back(QString::fromStdString(c->givenName + (c->familyName.empty() ? "" : " " + c->familyName)),
                     c->identifier);
  return out;
}

// A combo box of the address book's people that takes any other text too.
QComboBox* personBox(const std::vector<std::pair<QString, std::string>>& people, const QString& hint) {
  auto* box = new QComboBox;
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const auto& [name, id] : people) box->addItem(name);
  box->lineEdit()->setPlaceholderText(hint);
  box->setMinimumWidth(220);
  return box;
}

// Fills a dialog with labelled fields and OK and Cancel, and shows it:
// whether OK was chosen. The fields live as long as the dialog.
bool askForm(QDialog& dialog, const QString& title, std::initializer_list<std::pair<const char*, QWidget*>> fields) {
  dialog.setWindowTitle(title);
  auto* form = new QFormLayout(&dialog);
  for (const auto& [label, field] : fields) form->addRow(label, field);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  return dialog.exec() == QDialog::Accepted;
}

// Where no window manager hands the focus back when a dialog closes, the
// window takes it again, so that keys and shortcuts reach the device.
struct RefocusAfter {
  QMainWindow* window;
  ~RefocusAfter() { window->activateWindow(); }
};

}  // namespace

DeviceMenu::DeviceMenu(std::filesystem::path root, QMainWindow* window)
    : QObject(window), root_(std::move(root)), window_(window) {
  // Each item has its letter (Alt+D, then I for a call), for a person at
  // the keyboard as much as for the window's test.
  QMenu* device = window->menuBar()->addMenu("&Device");
  QAction* homeAction = device->addAction("&Home");
  homeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
  connect(homeAction, &QAction::triggered, this, &DeviceMenu::home);
  device->addSeparator();
  connect(device->addAction("&Incoming Call..."), &QAction::triggered, this, &DeviceMenu::incomingCall);
  connect(device->addAction("&Message..."), &QAction::triggered, this, &DeviceMenu::message);
  QMenu* look = device->addMenu("&Appearance");
  connect(look->addAction("&Light"), &QAction::triggered, this, [this] { appearance("light"); });
  connect(look->addAction("&Dark"), &QAction::triggered, this, [this] { appearance("dark"); });
  device->addSeparator();
  connect(device->addAction("&Restart Home Screen"), &QAction::triggered, this, &DeviceMenu::restartHomeScreen);
  QAction* shot = device->addAction("&Screenshot...");
  shot->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  connect(shot, &QAction::triggered, this, &DeviceMenu::screenshot);
}

bool DeviceMenu::ask(const QJsonObject& request) {
  auto reply = platform::automation::request(platform::automation::socketFile(root_, home_screen::kProcess), request,
                                             5000);
  QString problem;
  RefocusAfter refocus{window_};
  if (!reply) problem = "The home screen did not answer; is the device running?";
  else if (reply.answer->contains("error")) problem = (*reply.answer)["error"].toString();
  if (problem.isEmpty()) return true;
  QMessageBox::warning(window_, "Calmora device", problem);
  return false;
}

void DeviceMenu::home() {
  // Quietly: Home on a home screen without a window yet has nothing to show.
  platform::automation::request(platform::automation::socketFile(root_, home_screen::kProcess),
                                QJsonObject{{"verb", home_screen::kHome.name.data()}}, 2000);
}

void DeviceMenu::incomingCall() {
  RefocusAfter refocus{window_};
  const auto book = people(root_);
  QComboBox* caller = personBox(book, "a contact, or a number");
  // Phone always; the other calling apps where installed.
  platform::apps::AppRegistry installed(root_);
  auto* through = new QComboBox;
  for (const auto& app : kCallingApps)
    if (&app == kCallingApps || installed.app(app.bundle))
      through->addItem(app.name, QStringList{app.provider, app.bundle});
  QDialog dialog(window_);
  if (!askForm(dialog, "Incoming Call", {{"&Caller:", caller}, {"&Through:", through}})) return;
  const QString name = caller->currentText().trimmed();
  if (name.isEmpty()) return;
  const QStringList provider = through->currentData().toStringList();
  QJsonObject request{{"verb", home_screen::kCall.name.data()},
                      {"name", name},
                      {"provider", provider[0]},
                      {"providerBundle", provider[1]}};
  for (const auto& [person, id] : book)
    if (person == name) request["contact"] = QString::fromStdString(id);
  ask(request);
}

void DeviceMenu::message() {
  RefocusAfter refocus{window_};
  // Any installed app may show a notification; Messages is the usual one.
  auto* app = new QComboBox;
  for (const auto& info : platform::apps::AppRegistry(root_).apps()) {
    app->addItem(QString::fromStdString(info.displayName.empty() ? info.bundleIdentifier : info.displayName),
                 QString::fromStdString(info.bundleIdentifier));
    if (info.bundleIdentifier == "com.apple.MobileSMS") app->setCurrentIndex(app->count() - 1);
  }
  QComboBox* sender = personBox(people(root_), "a contact, or any text");
  auto* text = new QLineEdit;
  QDialog dialog(window_);
  if (!askForm(dialog, "Message", {{"&App:", app}, {"&Sender:", sender}, {"&Message:", text}})) return;
  if (app->currentIndex() < 0) return;
  ask(QJsonObject{{"verb", home_screen::kBulletin.name.data()},
                  {"section", app->currentData().toString()},
                  {"title", sender->currentText().trimmed()},
                  {"message", text->text()}});
}

void DeviceMenu::appearance(const char* style) {
  RefocusAfter refocus{window_};
  if (auto set = platform::setDeviceAppearance(root_, style); !set)
    QMessageBox::warning(window_, "Calmora device", QString::fromStdString(set.error()));
}

void DeviceMenu::restartHomeScreen() { ask(QJsonObject{{"verb", home_screen::kRespring.name.data()}}); }

void DeviceMenu::screenshot() {
  if (!capture) return;
  QString file;
  {
    RefocusAfter refocus{window_};
    file = QFileDialog::getSaveFileName(window_, "Screenshot", "Screenshot.png", "PNG images (*.png)");
  }
  if (file.isEmpty()) return;
  // The device's pixels, whatever the zoom: the display may first have to
  // draw a frame at that scale.
  capture([this, file](const QImage& shot) {
    RefocusAfter refocus{window_};
    if (shot.isNull()) QMessageBox::warning(window_, "Calmora device", "The display showed no frame to save.");
    else if (!shot.save(file, "PNG")) QMessageBox::warning(window_, "Calmora device", "Cannot write " + file);
  });
}

}  // namespace device_window
