// The browser server: serves the page and its files to those who hold the
// token, and to each page's WebSocket the device's screen, tile by changed
// tile, taking back the finger, keys and the Device controls.
#pragma once

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QImage>
#include <QPointer>
#include <QSize>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "platform/display_client/screen_feed.h"

namespace platform {
class DBusCenter;
}
namespace platform::automation {
class Link;
}

class QWebSocket;

namespace device_serve {

// Bounds on what a client may cost the server.
inline constexpr int kMaxConnections = 64;
inline constexpr qint64 kMaxMessageBytes = 64 * 1024;
// A page whose unsent frames pass this is dropped: it does not read.
inline constexpr qint64 kMaxQueuedBytes = 8 * 1024 * 1024;
inline constexpr int kMaxMessagesPerSecond = 1000;

class Server : public QAbstractHttpServer {
 public:
  Server(std::filesystem::path root, QByteArray token, QSize points, QObject* parent = nullptr);
  ~Server() override;

  // Listens on `at`, port `port` (0: a free one): the port, or 0 with why.
  platform::Result<quint16, std::string> start(const QHostAddress& at, quint16 port);
  platform::display::ScreenFeed& feed() { return feed_; }

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  struct Viewer {
    QPointer<QWebSocket> socket;
    int scale = 1;
    qint64 second = 0;  // the second its messages are counted in
    int messages = 0;
  };

  void welcome();
  void frame(const QImage& image);
  void encode(const QImage& image);
  void send(Viewer& viewer, const QByteArray& frameMessage);
  void drop(QWebSocket* socket);
  void message(QWebSocket* socket, const QString& text);
  void perform(QWebSocket* socket, const QJsonObject& m);
  void askHomeScreen(QWebSocket* socket, const QJsonObject& request,
                     std::function<void(const QJsonObject&)> answered = {});
  static void notice(QWebSocket* socket, const QString& text);
  static void tell(QWebSocket* socket, const QJsonObject& message);
  // Every page learns the side switch's state, however it was switched.
  void tellSilent();
  void rescale();
  QJsonObject deviceInfo() const;

  std::filesystem::path root_;
  QByteArray token_;
  QSize points_;
  platform::display::ScreenFeed feed_;
  platform::automation::Link* homeScreen_;  // the Device controls' requests
  std::shared_ptr<platform::DBusCenter> bus_;  // hears the side switch switched
  QImage shown_;        // the frame the pages show
  QByteArray whole_;    // its message for a page that comes in, once made
  // Frames are encoded on a worker, one at a time, so that input goes on
  // meanwhile; of those that come during one, the newest waits its turn.
  bool encoding_ = false;
  QImage pending_;
  std::vector<Viewer> viewers_;
};

}  // namespace device_serve
