// The device window's menus: the zoom, and the Device menu that makes things
// happen to the device (Home, a call, a message, the appearance, a restart
// of the home screen, a screenshot) through the same requests simctl sends.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <filesystem>
#include <optional>

class QMainWindow;

namespace device_window {

class PhoneView;

class DeviceMenu : public QObject {
 public:
  DeviceMenu(std::filesystem::path root, QMainWindow* window, PhoneView* view);

  // The home screen comes to front; the app in front keeps running.
  void home();

 private:
  void incomingCall();
  void message();
  void appearance(const char* style);
  void restartHomeScreen();
  void screenshot();
  // One request to the home screen and its answer; a failure is shown, not hidden.
  std::optional<QJsonObject> ask(const QJsonObject& request);
  void say(const QString& text);

  std::filesystem::path root_;
  QMainWindow* window_;
  PhoneView* view_;
};

}  // namespace device_window
