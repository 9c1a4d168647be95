// The browser server's pure parts: the request gate, the changed tiles of
// a frame, the key names.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QtEndian>

#include "tools/device_serve/frame_tiles.h"
#include "tools/device_serve/key_map.h"
#include "tools/device_serve/request_gate.h"

namespace device_serve {
namespace {

const QByteArray kToken = "0123456789abcdef0123456789abcdef";

Verdict judge(const QByteArray& head) { return judgeHead(head, kToken); }

TEST(RequestGate, TheTokenOpensTheWayAndNothingElseDoes) {
  EXPECT_EQ(judge("GET /" + kToken + "/ HTTP/1.1\r\nHost: a").status, 0);
  EXPECT_EQ(judge("GET /" + kToken + "/page.js HTTP/1.1").status, 0);
  EXPECT_EQ(judge("GET / HTTP/1.1").status, 403);
  EXPECT_EQ(judge("GET /" + kToken.chopped(1) + "/ HTTP/1.1").status, 403);
  EXPECT_EQ(judge("GET /" + kToken + "0/ HTTP/1.1").status, 403);
  EXPECT_EQ(judge("GET /?" + kToken + " HTTP/1.1").status, 403);
  EXPECT_FALSE(sameSecret("", ""));
  EXPECT_TRUE(sameSecret(kToken, kToken));
}

TEST(RequestGate, RefusesBodiesOtherMethodsAndMalformedLines) {
  EXPECT_EQ(judge("POST /" + kToken + "/ HTTP/1.1").status, 405);
  // A body is refused for its size, whatever the method.
  EXPECT_EQ(judge("POST /" + kToken + "/ HTTP/1.1\r\nContent-Length: 100000000").status, 413);
  EXPECT_EQ(judge("GET /" + kToken + "/ HTTP/1.1\r\nContent-Length: 5").status, 413);
  EXPECT_EQ(judge("GET /" + kToken + "/ HTTP/1.1\r\ntransfer-encoding: chunked").status, 413);
  EXPECT_EQ(judge("GET /" + kToken + "/ HTTP/1.1\r\nContent-Length: 0").status, 0);
  EXPECT_EQ(judge("\x01\xff garbage").status, 400);
  EXPECT_EQ(judge("GET " + kToken + " HTTP/1.1").status, 400);
}

TEST(RequestGate, TheWebSocketComesFromThePageAlone) {
  const QByteArray upgrade = "GET /" + kToken + "/socket HTTP/1.1\r\nHost: 127.0.0.1:8000\r\nUpgrade: websocket\r\n";
  const Verdict own = judge(upgrade + "Origin: http://127.0.0.1:8000");
  EXPECT_EQ(own.status, 0);
  EXPECT_TRUE(own.upgrade);
  EXPECT_EQ(judge(upgrade + "Origin: http://evil.example").status, 403);
  EXPECT_EQ(judge(upgrade + "Origin: http://127.0.0.1:8000.evil.example").status, 403);
  EXPECT_EQ(judge(upgrade).status, 403);
}

TEST(RequestGate, JudgesHeadsAsTheyComeInPieces) {
  HeadStream stream(kToken);
  const QByteArray good = "GET /" + kToken + "/ HTTP/1.1\r\nHost: a\r\n\r\n";
  EXPECT_EQ(stream.feed(good.left(10)).status, 0);
  EXPECT_EQ(stream.feed(good.mid(10)).status, 0);
  // A second request on the connection is judged too.
  EXPECT_EQ(stream.feed(good + "GET /x/ HTTP/1.1\r\n\r\n").status, 403);
  EXPECT_TRUE(stream.done());

  HeadStream endless(kToken);
  Verdict v;
  for (int i = 0; i < 100 && !v.status; ++i) v = endless.feed(QByteArray(1000, 'a'));
  EXPECT_EQ(v.status, 413);

  HeadStream socket(kToken);
  const Verdict up = socket.feed("GET /" + kToken + "/socket HTTP/1.1\r\nHost: h\r\nUpgrade: websocket\r\nOrigin: http://h\r\n\r\n");
  EXPECT_TRUE(up.upgrade);
  // What follows is the WebSocket's, not a head.
  EXPECT_EQ(socket.feed("\x81\x85 not http at all").status, 0);
}

// The tiles of a message: [x, y, w, h] and each one's decoded picture.
struct Message {
  QJsonObject head;
  std::vector<std::pair<QRect, QImage>> tiles;
};
Message read(const QByteArray& message) {
  const quint32 n = qFromBigEndian<quint32>(message.constData());
  Message out{QJsonDocument::fromJson(message.mid(4, n)).object(), {}};
  qsizetype at = 4 + n;
  for (const auto& t : out.head["tiles"].toArray()) {
    const QJsonArray a = t.toArray();
    out.tiles.emplace_back(QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()),
                           QImage::fromData(message.mid(at, a[4].toInt()), "PNG"));
    at += a[4].toInt();
  }
  return out;
}

// What a page showing `shown` shows once it has drawn `message`, as the page
// draws it: the move from a copy of what it had, then the tiles.
QImage drawn(const QImage& shown, const QByteArray& message) {
  const Message m = read(message);
  QImage out = shown.copy();
  QPainter p(&out);
  if (m.head.contains("move")) {
    const QJsonArray move = m.head["move"].toArray();
    const int top = move[0].toInt(), height = move[1].toInt(), dy = move[2].toInt();
    p.drawImage(QPoint(0, top), shown.copy(0, top - dy, shown.width(), height));
  }
  for (const auto& [r, picture] : m.tiles) {
    EXPECT_EQ(picture.size(), r.size());
    p.drawImage(r.topLeft(), picture);
  }
  return out;
}

int pixelsSent(const QByteArray& message) {
  int n = 0;
  for (const auto& t : read(message).tiles) n += t.first.width() * t.first.height();
  return n;
}

TEST(FrameTiles, SendsOnlyWhatChanged) {
  QImage before(150, 100, QImage::Format_RGB32);
  before.fill(Qt::white);
  EXPECT_TRUE(frameMessage(before, before).isEmpty());

  QImage after = before.copy();
  after.setPixel(70, 90, qRgb(0xE2, 0x23, 0x00));
  auto changed = read(frameMessage(before, after)).tiles;
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].first, QRect(64, 90, 64, 1));
  EXPECT_EQ(changed[0].second.pixel(70 - 64, 0), qRgb(0xE2, 0x23, 0x00));

  // A page that has nothing, or a frame of another size: all of it.
  EXPECT_EQ(drawn(QImage(150, 100, QImage::Format_RGB32), frameMessage({}, after)), after);
  EXPECT_EQ(pixelsSent(frameMessage(before.scaled(300, 200), after)), 150 * 100);
}

// A list of rows that each look their own under a still bar, scrolled by
// `offset` rows, with a scroll indicator at the right edge.
QImage list(int offset, int indicatorAt) {
  QImage image(200, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = 40; y < 300; ++y)
    for (int x = 8; x < 8 + (y + offset) % 150; ++x) image.setPixel(x, y, qRgb((y + offset) * 7 % 256, 30, x % 200));
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) image.setPixel(x, y, qRgb(240, 240, 240));
  for (int y = indicatorAt; y < indicatorAt + 30; ++y) image.setPixel(196, y, qRgb(0, 0, 0));
  return image;
}

TEST(FrameTiles, AScrollMovesWhatThePageHasAndSendsWhatCameIntoView) {
  for (int dy : {-23, -1, 5, 64, 130}) {
    const QImage before = list(200, 100), now = list(200 + dy, 110);
    const QByteArray message = frameMessage(before, now);
    EXPECT_EQ(drawn(before, message), now) << "scrolled by " << dy;
    const auto move = read(message).head["move"].toArray();
    ASSERT_EQ(move.size(), 3) << dy;
    EXPECT_EQ(move[2].toInt(), -dy);
    // The rows that came into view, the indicator's column and little else.
    EXPECT_LT(pixelsSent(message), (std::abs(dy) + 40) * 200 + 64 * 60) << dy;
  }
  // What does not move is sent as it is, and still ends up right.
  QImage other = list(0, 10);
  other.fill(qRgb(1, 2, 3));
  EXPECT_EQ(drawn(list(0, 10), frameMessage(list(0, 10), other)), other);
  EXPECT_FALSE(read(frameMessage(list(0, 10), other)).head.contains("move"));
}

TEST(KeyMap, TheUsLayoutsKeysWithShiftWhereTheCharacterNeedsIt) {
  auto is = [](const char* key, int code, bool shift) {
    auto k = keyFor(QString::fromUtf8(key));
    return k && k->code == code && k->shift == shift;
  };
  EXPECT_TRUE(is("a", 38, false));
  EXPECT_TRUE(is("A", 38, true));
  EXPECT_TRUE(is("1", 10, false));
  EXPECT_TRUE(is("!", 10, true));
  EXPECT_TRUE(is("/", 61, false));
  EXPECT_TRUE(is("?", 61, true));
  EXPECT_TRUE(is(" ", 65, false));
  EXPECT_TRUE(is("Enter", 36, false));
  EXPECT_TRUE(is("Backspace", 22, false));
  EXPECT_FALSE(keyFor(QString::fromUtf8("é")));
  EXPECT_FALSE(keyFor("F13"));
}

}  // namespace
}  // namespace device_serve
