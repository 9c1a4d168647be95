#include "tools/device_window/device_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QInputDialog>
#include <QJsonObject>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>

#include "platform/automation/client.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_appearance.h"
#include "tools/device_window/phone_view.h"

namespace device_window {
namespace home_screen = platform::automation::home_screen;

namespace {

// The calling apps a call can come through: the name the home screen shows
// and the app's bundle.
struct CallingApp {
  const char* name;
  const char* provider;
  const char* bundle;
};
constexpr CallingApp kCallingApps[] = {
    {"Phone", "Telephony", "com.apple.mobilephone"},
    {"FaceTime", "FaceTime", "com.apple.facetime"},
    {"WhatsApp", "WhatsApp", "net.whatsapp.WhatsApp"},
};

constexpr double kZooms[] = {0.5, 0.75, 1.0, 2.0};

// Where no window manager hands the focus back when a dialog closes, the
// window takes it again, so that keys and shortcuts reach the device.
struct RefocusAfter {
  QMainWindow* window;
  ~RefocusAfter() { window->activateWindow(); }
};

}  // namespace

DeviceMenu::DeviceMenu(std::filesystem::path root, QMainWindow* window, PhoneView* view)
    : QObject(window), root_(std::move(root)), window_(window), view_(view) {
  QMenu* zoom = window->menuBar()->addMenu("&Window");
  auto* zooms = new QActionGroup(this);
  for (double z : kZooms) {
    QAction* a = zoom->addAction(QString("%1%").arg(z * 100));
    a->setCheckable(true);
    a->setChecked(z == 1.0);
    zooms->addAction(a);
    connect(a, &QAction::triggered, this, [this, z] {
      view_->setZoom(z);
      window_->setFixedSize(window_->sizeHint());
    });
  }

  zoom->addSeparator();
  QAction* close = zoom->addAction("Close Window");
  close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  connect(close, &QAction::triggered, window, &QWidget::close);

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
  // The address book's people first; any other text is a number.
  QStringList callers;
  std::map<QString, std::string> identifiers;
  auto store = platform::contacts::makeVCardStore(root_ / "var/mobile/Library/AddressBook/contacts.vcf",
                                                  platform::contacts::ContactsAccess::Granted);
  for (const auto& c : *store->allContacts()) {
    const QString name = QString::fromStdString(c->givenName + (c->familyName.empty() ? "" : " " + c->familyName));
    callers << name;
    identifiers[name] = c->identifier;
  }
  bool ok = false;
  const QString caller =
      QInputDialog::getItem(window_, "Incoming Call", "Caller (a contact, or type a number):", callers, 0, true, &ok);
  if (!ok || caller.trimmed().isEmpty()) return;
  QStringList apps;
  for (const auto& app : kCallingApps) apps << app.name;
  const QString through = QInputDialog::getItem(window_, "Incoming Call", "Through:", apps, 0, false, &ok);
  if (!ok) return;
  const CallingApp* app = &kCallingApps[apps.indexOf(through)];
  QJsonObject request{{"verb", home_screen::kCall.name.data()},
                      {"name", caller.trimmed()},
                      {"provider", app->provider},
                      {"providerBundle", app->bundle}};
  if (auto it = identifiers.find(caller); it != identifiers.end())
    request["contact"] = QString::fromStdString(it->second);
  ask(request);
}

void DeviceMenu::message() {
  RefocusAfter refocus{window_};
  bool ok = false;
  const QString app = QInputDialog::getText(window_, "Message", "App (its bundle):", QLineEdit::Normal,
                                            "com.apple.MobileSMS", &ok);
  if (!ok || app.trimmed().isEmpty()) return;
  const QString sender = QInputDialog::getText(window_, "Message", "Sender:", QLineEdit::Normal, {}, &ok);
  if (!ok) return;
  const QString text = QInputDialog::getText(window_, "Message", "Message:", QLineEdit::Normal, {}, &ok);
  if (!ok) return;
  ask(QJsonObject{{"verb", home_screen::kBulletin.name.data()},
                  {"section", app.trimmed()},
                  {"title", sender},
                  {"message", text}});
}

void DeviceMenu::appearance(const char* style) {
  RefocusAfter refocus{window_};
  if (auto set = platform::setDeviceAppearance(root_, style); !set)
    QMessageBox::warning(window_, "Calmora device", QString::fromStdString(set.error()));
}

void DeviceMenu::restartHomeScreen() { ask(QJsonObject{{"verb", home_screen::kRespring.name.data()}}); }

void DeviceMenu::screenshot() {
  const QImage shown = view_->frame();
  if (shown.isNull()) return;
  RefocusAfter refocus{window_};
  const QString file =
      QFileDialog::getSaveFileName(window_, "Screenshot", "Screenshot.png", "PNG images (*.png)");
  if (file.isEmpty()) return;
  if (!shown.save(file, "PNG"))
    QMessageBox::warning(window_, "Calmora device", "Cannot write " + file);
}

}  // namespace device_window
