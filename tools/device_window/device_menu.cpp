#include "tools/device_window/device_menu.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QJsonObject>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>

#include "platform/automation/client.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/foundation/device_appearance.h"
#include "platform/foundation/device_description.h"
#include "tools/device_actions/device_actions.h"

namespace device_window {
namespace home_screen = platform::automation::home_screen;

namespace {

// A combo box of the address book's people that takes any other text too.
QComboBox* personBox(const std::vector<device_actions::Person>& people, const QString& hint) {
  auto* box = new QComboBox;
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const auto& person : people) box->addItem(person.name);
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
  QAction* silent = device->addAction("Si&lent");
  silent->setCheckable(true);
  silent->setChecked(platform::readDeviceDescription(root_).silent);
  connect(silent, &QAction::toggled, this, [this](bool on) {
    RefocusAfter refocus{window_};
    if (auto set = platform::setDeviceSoundSwitch(root_, platform::SoundSwitch::Silent, on); !set)
      QMessageBox::warning(window_, "Calmora device", QString::fromStdString(set.error()));
  });
  device->addSeparator();
  connect(device->addAction("&Restart Home Screen"), &QAction::triggered, this, &DeviceMenu::restartHomeScreen);
  QAction* shot = device->addAction("&Screenshot...");
  shot->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  connect(shot, &QAction::triggered, this, &DeviceMenu::screenshot);
}

std::optional<QJsonObject> DeviceMenu::ask(const QJsonObject& request) {
  auto reply = platform::automation::request(platform::automation::socketFile(root_, home_screen::kProcess), request,
                                             5000);
  QString problem;
  RefocusAfter refocus{window_};
  if (!reply) problem = "The home screen did not answer; is the device running?";
  else if (reply.answer->contains("error")) problem = (*reply.answer)["error"].toString();
  if (problem.isEmpty()) return *reply.answer;
  QMessageBox::warning(window_, "Calmora device", problem);
  return std::nullopt;
}

// A line over the bottom of the window for 2 s, that takes no input and
// moves nothing else.
void DeviceMenu::say(const QString& text) {
  auto* note = new QLabel(text, window_);
  note->setObjectName("note");
  note->setAttribute(Qt::WA_TransparentForMouseEvents);
  note->setStyleSheet("background: rgba(0, 0, 0, 200); color: white; padding: 6px 12px; border-radius: 8px;");
  note->adjustSize();
  note->move((window_->width() - note->width()) / 2, window_->height() - note->height() - 24);
  note->show();
  QTimer::singleShot(2000, note, &QObject::deleteLater);
}

void DeviceMenu::home() {
  // Quietly: Home on a home screen without a window yet has nothing to show.
  platform::automation::request(platform::automation::socketFile(root_, home_screen::kProcess),
                                requestOf(home_screen::kHome), 2000);
}

void DeviceMenu::incomingCall() {
  RefocusAfter refocus{window_};
  const auto book = device_actions::people(root_);
  QComboBox* caller = personBox(book, "a contact, or a number");
  const auto calling = device_actions::callingApps(root_);
  auto* through = new QComboBox;
  for (const auto& app : calling) through->addItem(app.name);
  QDialog dialog(window_);
  if (!askForm(dialog, "Incoming Call", {{"&Caller:", caller}, {"&Through:", through}})) return;
  const QString name = caller->currentText().trimmed();
  if (name.isEmpty()) return;
  const auto& app = calling[static_cast<size_t>(std::max(0, through->currentIndex()))];
  const QJsonObject request = device_actions::callRequest(root_, book, name, app);
  // The phone cannot tell a blocked call from one the caller ended.
  if (auto answer = ask(request)) say((*answer)["rings"].toBool() ? "Ringing" : "Ended before it rang");
}

void DeviceMenu::message() {
  RefocusAfter refocus{window_};
  // Any installed app may show a notification; Messages is the usual one.
  auto* app = new QComboBox;
  for (const auto& info : device_actions::apps(root_)) {
    app->addItem(info.name, info.bundle);
    if (info.bundle == device_actions::kMessagesBundle) app->setCurrentIndex(app->count() - 1);
  }
  QComboBox* sender = personBox(device_actions::people(root_), "a contact, or any text");
  auto* text = new QLineEdit;
  QDialog dialog(window_);
  if (!askForm(dialog, "Message", {{"&App:", app}, {"&Sender:", sender}, {"&Message:", text}})) return;
  if (app->currentIndex() < 0) return;
  ask(device_actions::messageRequest(app->currentData().toString(), sender->currentText().trimmed(), text->text()));
}

void DeviceMenu::appearance(const char* style) {
  RefocusAfter refocus{window_};
  if (auto set = platform::setDeviceAppearance(root_, style); !set)
    QMessageBox::warning(window_, "Calmora device", QString::fromStdString(set.error()));
}

void DeviceMenu::restartHomeScreen() { ask(requestOf(home_screen::kRespring)); }

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
