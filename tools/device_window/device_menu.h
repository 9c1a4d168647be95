// The device window's Device menu, which makes things happen to the device
// (Home, a call, a message, the appearance, a restart of the home screen, a
// screenshot) through the same requests simctl sends.
#pragma once

#include <QImage>
#include <QObject>
#include <filesystem>
#include <functional>

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
  // One request to the home screen; a failure is shown, not hidden.
  bool ask(const QJsonObject& request);

  std::filesystem::path root_;
  QMainWindow* window_;
};

}  // namespace device_window
