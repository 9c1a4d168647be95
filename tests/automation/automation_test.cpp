// The control channel: who may connect, what bad requests get, and the
// client's account of a process that is absent or slow.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <chrono>
#include <csignal>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "platform/automation/client.h"
#include "platform/automation/link.h"
#include "platform/automation/server.h"
#include "platform/automation/socket_address.h"
#include "platform/automation/ui_verbs.h"
#include "platform/automation/wait.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace automation = platform::automation;
namespace fs = std::filesystem;
using automation::Argument;
using automation::Need;
using automation::Type;

namespace {

constexpr Argument kEchoArguments[] = {{"text", Type::String, Need::Required}, {"times", Type::Number}};
constexpr automation::Verb kVerbs[] = {{"echo", kEchoArguments, "answers its text"},
                                       {"ping", {}, "answers"},
                                       {"later", {}, "answers when the test says so"},
                                       automation::ui::kWait};

// A raw connection, read without blocking the event loop that serves it.
struct Connection {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  explicit Connection(const fs::path& file) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", file.c_str());
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~Connection() { ::close(fd); }
  void send(const std::string& bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
  }
  // Whether an answer has come in, without taking it.
  bool answered() {
    QCoreApplication::processEvents();
    char c;
    return ::recv(fd, &c, 1, MSG_DONTWAIT | MSG_PEEK) == 1;
  }
  // The next answer line as JSON, or nothing once the server closed.
  std::optional<QJsonObject> answer() {
    auto watchdog = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string line;
    char c;
    while (std::chrono::steady_clock::now() < watchdog) {
      QCoreApplication::processEvents();
      ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN)) return std::nullopt;
      if (n == 1 && c == '\n') return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
      if (n == 1) line += c;
    }
    ADD_FAILURE() << "no answer within 10 s";
    return std::nullopt;
  }
  bool connected = false;
};

class Channel : public ::testing::Test {
 protected:
  void SetUp() override {
    server.on("echo", [](const QJsonObject& r) { return QJsonObject{{"text", r.value("text")}}; });
    server.on("ping", [](const QJsonObject&) { return QJsonObject{{"ok", true}}; });
    server.onLater("later", [this](const QJsonObject&, automation::Responder answer) { pending.push_back(answer); });
    server.onLater("wait", [this](const QJsonObject& r, automation::Responder answer) {
      automation::answerWait(r, [this](const QString& text) { return text == shown; }, answer);
    });
    ASSERT_TRUE(server.listen(root / "run", "test"));
  }
  fs::path socket() const { return root / "run/test.sock"; }

  testsupport::TempDir scratch_{"automation"};
  const fs::path root = scratch_.path();
  automation::Server server{kVerbs};
  std::vector<automation::Responder> pending;  // the later answers not given yet
  QString shown;                               // the text a wait finds
};

QString code(const std::optional<QJsonObject>& answer) { return answer ? answer->value("code").toString() : "none"; }

TEST_F(Channel, OnlyTheOwnerCanConnectAndOthersAreRefusedAndLogged) {
  struct stat st {};
  ASSERT_EQ(::stat(socket().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  if (::geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";

  testsupport::LogCapture log;
  // Exit 0 when the user nobody gets no answer, whatever stops it.
  auto asNobody = [&] {
    pid_t child = testsupport::startChild([&] {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
      Connection c(socket());
      std::string request = "{\"verb\":\"ping\"}\n";
      char answer;
      return int(c.connected && ::send(c.fd, request.data(), request.size(), MSG_NOSIGNAL) > 0 &&
                 ::read(c.fd, &answer, 1) == 1);
    });
    int status = -1;
    bool ended = false;
    if (!testsupport::runUntil([&] { return ended = ended || ::waitpid(child, &status, WNOHANG) == child; }, 10000))
      status = testsupport::waitChild(child, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  fs::permissions(root, fs::perms::all);
  fs::permissions(root / "run", fs::perms::all);
  EXPECT_EQ(asNobody(), 0) << "through the file's mode";
  // With the file opened up, the peer's credentials still refuse it.
  fs::permissions(socket(), fs::perms::all);
  EXPECT_EQ(asNobody(), 0) << "through the peer's credentials";
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.contains("65534"));
  Connection owner(socket());
  owner.send("{\"verb\":\"ping\"}\n");
  EXPECT_TRUE(owner.answer().value_or(QJsonObject{}).value("ok").toBool());
}

TEST_F(Channel, BadRequestsAreAnsweredWithAnErrorCodeAndTheConnectionGoesOn) {
  Connection c(socket());
  const std::pair<std::string, const char*> cases[] = {
      {"hello", automation::code::kNotJson},
      {"[1, 2]", automation::code::kNotJson},
      {"", automation::code::kNotJson},
      {"{\"verb\": 3}", automation::code::kUnknownVerb},
      {"{\"verb\": \"shred\"}", automation::code::kUnknownVerb},
      {"{\"verb\": \"echo\"}", automation::code::kBadArgument},
      {"{\"verb\": \"echo\", \"text\": 5}", automation::code::kBadArgument},
      {"{\"verb\": \"echo\", \"text\": \"a\", \"times\": \"2\"}", automation::code::kBadArgument},
      {"{\"verb\": \"echo\", \"text\": \"a\", \"colour\": \"red\"}", automation::code::kBadArgument},
  };
  for (const auto& [line, expected] : cases) {
    c.send(line + "\n");
    EXPECT_EQ(code(c.answer()), expected) << line;
  }
  c.send("{\"verb\": \"echo\", \"text\": \"still here\", \"times\": 2}\n");
  EXPECT_EQ(c.answer().value_or(QJsonObject{}).value("text").toString(), "still here");
}

TEST_F(Channel, AnOversizedLineIsRefusedAndAPartialOneHarmsNothing) {
  {
    Connection partial(socket());
    partial.send("{\"verb\": \"pi");
    QCoreApplication::processEvents();
  }
  Connection big(socket());
  big.send(std::string(automation::kMaxLine + 10, ' '));
  EXPECT_EQ(code(big.answer()), automation::code::kTooLong);
  EXPECT_EQ(big.answer(), std::nullopt) << "the connection is closed after it";
  Connection next(socket());
  next.send("{\"verb\": \"ping\"}\n");
  EXPECT_TRUE(next.answer().value_or(QJsonObject{}).value("ok").toBool());
}

TEST_F(Channel, ConnectionsOfOneProcessPastItsShareAreToldBusyAndAnotherProcessIsServed) {
  std::vector<std::unique_ptr<Connection>> many;
  for (int i = 0; i < automation::kMaxConnectionsPerProcess + 8; ++i) {
    many.push_back(std::make_unique<Connection>(socket()));
    many.back()->send("{\"verb\": \"echo\", \"text\": \"" + std::to_string(i) + "\"}\n");
  }
  int answered = 0, busy = 0;
  for (size_t i = 0; i < many.size(); ++i) {
    auto a = many[i]->answer();
    answered += a && a->value("text").toString() == QString::number(i);
    busy += code(a) == automation::code::kBusy;
  }
  EXPECT_EQ(answered, automation::kMaxConnectionsPerProcess);
  EXPECT_EQ(busy, 8);
  // Its connections held open (as waits would hold them), another process is answered.
  pid_t child = testsupport::startChild([&] {
    auto reply = automation::request(socket(), QJsonObject{{"verb", "ping"}}, 5000);
    return reply && reply.answer->value("ok").toBool() ? 0 : 1;
  });
  int status = -1;
  bool ended = false;
  if (!testsupport::runUntil([&] { return ended = ended || ::waitpid(child, &status, WNOHANG) == child; }, 10000))
    status = testsupport::waitChild(child, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process was not answered";
}

TEST_F(Channel, ALinkIsAnsweredInOrderLogsAnErrorNobodyWaitsForAndConnectsAgainOnceClosed) {
  automation::Link link(socket());
  std::vector<QString> got;
  auto echo = [&](const QString& text) {
    link.send(QJsonObject{{"verb", "echo"}, {"text", text}},
              [&](const QJsonObject& a) { got.push_back(a.value("text").toString()); });
  };
  echo("a");
  echo("b");
  ASSERT_TRUE(testsupport::runUntil([&] { return got.size() == 2; }));
  EXPECT_EQ(got, (std::vector<QString>{"a", "b"}));

  testsupport::LogCapture log;
  link.send(QJsonObject{{"verb", "echo"}});
  echo("c");
  ASSERT_TRUE(testsupport::runUntil([&] { return got.size() == 3; }));
  EXPECT_TRUE(log.has("test: 'text' is required")) << log.all();

  // A line past the limit makes the server close the connection.
  int closed = 0;
  link.onClosed = [&] { ++closed; };
  link.send(QJsonObject{{"verb", "echo"}, {"text", QString(automation::kMaxLine, 'x')}});
  ASSERT_TRUE(testsupport::runUntil([&] { return closed == 1; }));
  echo("d");
  ASSERT_TRUE(testsupport::runUntil([&] { return got.size() == 4; }));
  EXPECT_EQ(got.back(), "d");
}

TEST_F(Channel, AStaleSocketIsReplacedALiveOneIsNotStolenALinkedLockIsRefusedAndTheFileGoesAtExit) {
  automation::Server second{kVerbs};
  auto listening = second.listen(root / "run", "test");
  ASSERT_FALSE(listening);
  EXPECT_EQ(listening.error().code, automation::ListenError::AlreadyServed);

  // A socket file whose process died without removing it.
  int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", (root / "run/other.sock").c_str());
  ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ::close(dead);
  {
    automation::Server other{kVerbs};
    other.on("ping", [](const QJsonObject&) { return QJsonObject{{"ok", true}}; });
    EXPECT_TRUE(other.listen(root / "run", "other"));
    Connection c(root / "run/other.sock");
    c.send("{\"verb\": \"ping\"}\n");
    EXPECT_TRUE(c.answer().value_or(QJsonObject{}).value("ok").toBool());
  }
  EXPECT_FALSE(fs::exists(root / "run/other.sock"));

  // A lock that is a link planted by someone else is not followed.
  fs::create_symlink(root / "planted", root / "run/linked.lock");
  automation::Server linked{kVerbs};
  auto refused = linked.listen(root / "run", "linked");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, automation::ListenError::CannotCreate);
  EXPECT_FALSE(fs::exists(root / "planted"));
}

TEST_F(Channel, ALaterAnswerHoldsBackOnlyItsOwnConnectionAndIsDroppedWhenItsClientLeft) {
  Connection held(socket()), other(socket());
  held.send("{\"verb\": \"later\"}\n{\"verb\": \"ping\"}\n");
  other.send("{\"verb\": \"ping\"}\n");
  EXPECT_TRUE(other.answer().value_or(QJsonObject{}).value("ok").toBool()) << "another connection is served meanwhile";
  ASSERT_TRUE(testsupport::runUntil([&] { return pending.size() == 1; }));
  EXPECT_FALSE(held.answered()) << "the ping waits for the answer before it";
  pending[0](QJsonObject{{"n", 1}});
  pending[0](QJsonObject{{"n", 2}});
  EXPECT_EQ(held.answer().value_or(QJsonObject{}).value("n").toInt(), 1) << "answered once, in order";
  EXPECT_TRUE(held.answer().value_or(QJsonObject{}).value("ok").toBool());
  {
    Connection leaving(socket());
    leaving.send("{\"verb\": \"later\"}\n");
    ASSERT_TRUE(testsupport::runUntil([&] { return pending.size() == 2; }));
    EXPECT_TRUE(pending[1].wanted());
  }
  ASSERT_TRUE(testsupport::runUntil([&] { return !pending[1].wanted(); })) << "the client's leaving is noticed";
  pending[1](QJsonObject{{"n", 3}});
  Connection next(socket());
  next.send("{\"verb\": \"ping\"}\n");
  EXPECT_TRUE(next.answer().value_or(QJsonObject{}).value("ok").toBool());
}

TEST_F(Channel, WaitsOnTwoConnectionsEachAnswerAtTheirOwnDeadlineOrWhenTheirTextShows) {
  Connection slow(socket()), quick(socket()), found(socket());
  slow.send("{\"verb\": \"wait\", \"text\": \"never\", \"timeout\": 1.5}\n");
  testsupport::runUntil([] { return false; }, 50);  // the slow wait is taken first
  quick.send("{\"verb\": \"wait\", \"text\": \"never\", \"timeout\": 0.3}\n");
  found.send("{\"verb\": \"wait\", \"text\": \"soon\", \"timeout\": 5}\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(quick.answer().value_or(QJsonObject{{"found", true}}).value("found").toBool());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1200));
  EXPECT_FALSE(slow.answered()) << "the longer wait is still pending";
  EXPECT_FALSE(found.answered());
  shown = "soon";
  EXPECT_TRUE(found.answer().value_or(QJsonObject{}).value("found").toBool());
  EXPECT_FALSE(slow.answer().value_or(QJsonObject{{"found", true}}).value("found").toBool());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
}

TEST_F(Channel, AClientThatSendsWithoutReadingIsNoLongerReadFrom) {
  Connection flood(socket());
  const std::string ping = "{\"verb\": \"ping\"}\n";
  constexpr size_t kCap = 100000;  // requests; the server's buffers stop far earlier
  size_t sent = 0;
  auto lastSent = std::chrono::steady_clock::now();
  while (sent < kCap * ping.size() && std::chrono::steady_clock::now() - lastSent < std::chrono::milliseconds(300)) {
    QCoreApplication::processEvents();
    const size_t at = sent % ping.size();
    ssize_t n = ::send(flood.fd, ping.data() + at, ping.size() - at, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      sent += size_t(n);
      lastSent = std::chrono::steady_clock::now();
    }
  }
  EXPECT_LT(sent, kCap * ping.size()) << "requests were taken in without their answers being read";
  // Reading lets the held requests in again.
  EXPECT_TRUE(flood.answer().value_or(QJsonObject{}).value("ok").toBool());
  Connection other(socket());
  other.send(ping);
  EXPECT_TRUE(other.answer().value_or(QJsonObject{}).value("ok").toBool());
}

TEST_F(Channel, TheClientTellsAnAbsentProcessFromASlowOneAndReachesDeepFolders) {
  EXPECT_EQ(automation::request(root / "run/absent.sock", {{"verb", "ping"}}, 1000).failure,
            automation::Failure::NotRunning);
  // The event loop does not run here: the server accepts nothing.
  EXPECT_EQ(automation::request(socket(), {{"verb", "ping"}}, 300).failure, automation::Failure::TimedOut);

  fs::path deep = root / std::string(100, 'd') / std::string(100, 'e');
  automation::Server far{kVerbs};
  far.on("ping", [](const QJsonObject&) { return QJsonObject{{"ok", true}}; });
  ASSERT_TRUE(far.listen(deep / "run", "far"));
  auto reply = std::async(std::launch::async, [&] {
    return automation::request(automation::socketFile(deep, "far"), {{"verb", "ping"}}, 10000);
  });
  while (reply.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) QCoreApplication::processEvents();
  auto answer = reply.get().answer;
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->value("ok").toBool());
}

// Every socket of a device, the display's Wayland ones too, is named in an
// address the same way: its own path up to the last byte an address holds,
// else through a descriptor of its folder.
TEST(SocketAddress, APathThatFitsIsItselfALongerOneGoesThroughItsFolder) {
  testsupport::TempDir scratch{"calmora-address"};
  const fs::path base = scratch.path();
  const size_t room = sizeof(sockaddr_un::sun_path) - 1;
  ASSERT_LT(base.native().size() + 2, room);
  const fs::path fits = base / std::string(room - base.native().size() - 1, 'f');
  ASSERT_EQ(fits.native().size(), room);
  int folder = -1;
  EXPECT_EQ(automation::addressPath(fits, folder), fits.native());
  EXPECT_EQ(folder, -1) << "no descriptor where none is needed";

  const fs::path deep = base / std::string(100, 'd');
  fs::create_directory(deep);
  std::ofstream(deep / "x.sock") << "";
  auto through = automation::addressPath(deep / "x.sock", folder);
  ASSERT_TRUE(through);
  ASSERT_GE(folder, 0);
  EXPECT_EQ(*through, "/proc/self/fd/" + std::to_string(folder) + "/x.sock");
  EXPECT_TRUE(fs::equivalent(*through, deep / "x.sock"));
  int same = folder;
  EXPECT_TRUE(automation::addressPath(deep / "y.sock", same));
  EXPECT_EQ(same, folder) << "a descriptor given is used, not another opened";
  ::close(folder);

  folder = -1;
  EXPECT_FALSE(automation::addressPath(deep / std::string(100, 'n'), folder)) << "too long even so";
  if (folder >= 0) ::close(folder);
  EXPECT_FALSE(automation::addressPath(base / std::string(110, 'm') / "x.sock", folder = -1)) << "no such folder";
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
