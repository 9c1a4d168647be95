// One connection to a device process's control socket that stays open:
// requests go out at once and their answers come back in order, to the
// callback each was sent with. A screen feed keeps two to the display,
// one waiting for frames and one for the finger, so that neither waits
// behind the other.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <deque>
#include <filesystem>
#include <functional>

class QLocalSocket;

namespace platform::display {

class DisplayLink : public QObject {
 public:
  using Answer = std::function<void(const QJsonObject&)>;
  DisplayLink(std::filesystem::path socketFile, QObject* parent);

  // Connects, or says why not.
  bool open(std::string* why);
  bool isOpen() const;
  void send(const QJsonObject& request, Answer answer = {});
  // Called once when the process ends or closes the connection.
  std::function<void()> onClosed;

 private:
  void read();
  std::filesystem::path socketFile_;
  QLocalSocket* socket_ = nullptr;
  std::deque<Answer> pending_;
};

}  // namespace platform::display
