// The device window's Device menu, which makes things happen to the device
// (Home, a call, a message, the appearance, a restart of the home screen, a
// screenshot) through the same requests simctl sends.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

class QMainWindow;

namespace device_window {

class DeviceMenu : public QObject {
 public:
  DeviceMenu(std::filesystem::path root, QMainWindow* window);

  // The home screen comes to front; the app in front keeps running.
  void home();
  // Calls back with the screen at the device's own pixels, or a null image
  // when the display showed none in time.
  std::function<void(std::function<void(const QImage&)>)> capture;

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
};

}  // namespace device_window
