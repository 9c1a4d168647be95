#include "tests/soak/workers.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QJsonObject>
#include <array>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "common/names.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/foundation/dbus_center.h"
#include "tests/soak/device.h"

namespace soak {
namespace {

namespace sig = calmora::names::signal;
namespace home_screen = platform::automation::home_screen;

class Worker {
 public:
  explicit Worker(const WorkerPlan& plan) : plan_(plan), random_(static_cast<uint32_t>(plan.index * 7919 + 17)) {}
  int run();

 private:
  void caller();
  void mixed();
  // Sends one control request and records its answer.
  void request(Outcome o, const QJsonObject& req);
  void post(std::string_view name, const platform::UserInfo& info = {});
  QJsonObject call(const std::string& name, const char* uid, const char* provider, const char* bundle,
                   int status, bool incoming, const char* via);
  QJsonObject bulletin(const char* title, const std::string& message);
  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  std::string tag(const char* what) { return std::string(what) + " w" + std::to_string(plan_.index) + "-" + std::to_string(++serial_); }

  const WorkerPlan& plan_;
  std::mt19937 random_;
  std::shared_ptr<platform::DBusCenter> center_;
  std::vector<Outcome> outcomes_;
  int serial_ = 0;
};

QJsonObject Worker::call(const std::string& name, const char* uid, const char* provider, const char* bundle,
                         int status, bool incoming, const char* via) {
  return requestOf(home_screen::kCall, {{"name", QString::fromStdString(name)},
                     {"contact", QString::fromLatin1(uid) + ":ABPerson"},
                     {"provider", provider},
                     {"providerBundle", bundle},
                     {"status", status},
                     {"incoming", incoming},
                     {"via", via}});
}

QJsonObject Worker::bulletin(const char* title, const std::string& message) {
  return requestOf(home_screen::kBulletin, {{"section", kMessagingApp},
                     {"title", title},
                     {"message", QString::fromStdString(message)}});
}

void Worker::request(Outcome o, const QJsonObject& req) {
  o.sentMs = nowMs();
  auto answer = askHomeScreen(plan_.device, req, 30000);
  o.answeredMs = nowMs();
  o.answered = answer && !answer->contains("error");
  o.handedOn = answer && answer->value("handedOn").toBool();
  outcomes_.push_back(std::move(o));
}

void Worker::post(std::string_view name, const platform::UserInfo& info) {
  Outcome o{std::string(name), {}, {}, true, false, nowMs(), 0};
  center_->post(name, info);
  o.answeredMs = o.sentMs;
  outcomes_.push_back(std::move(o));
}

// Blocked calls, some more than a second after the previous one (each
// leaves a record) and some within it (de-duplicated), through the call
// event, the call update or both.
void Worker::caller() {
  while (nowMs() < plan_.deadlineMs - 1500) {
    sleepMs(uniform(0, 9) < 3 ? uniform(150, 300) : uniform(1100, 1300));
    const char* via = std::array{"event", "event", "update", "both"}[uniform(0, 3)];
    bool facetime = std::string_view(via) != "event" || uniform(0, 1) == 1;
    std::string name = tag(kMalloryName);
    Outcome o{kind::kBlockedCall, name, via};
    o.provider = facetime ? "FaceTime" : "Telephony";
    request(std::move(o),
            call(name, kMalloryUid, facetime ? "FaceTime" : "Telephony",
                 facetime ? "com.apple.facetime" : "com.apple.mobilephone", 4, true, via));
  }
}

void Worker::mixed() {
  while (nowMs() < plan_.deadlineMs) {
    int pick = uniform(0, 99);
    if (pick < 12) {
      std::string name = tag(kAliceName);
      request(Outcome{kind::kAllowedCall, name, "event"},
              call(name, kAliceUid, "Telephony", "com.apple.mobilephone", 4, true, "event"));
    } else if (pick < 17) {
      std::string name = tag(kMalloryName);
      bool outgoing = uniform(0, 1) == 1;
      request(Outcome{kind::kUntouchedCall, name, "event"},
              call(name, kMalloryUid, "Telephony", "com.apple.mobilephone", outgoing ? 4 : 1, !outgoing, "event"));
    } else if (pick < 37) {
      std::string message = tag("blocked message");
      request(Outcome{kind::kBlockedBulletin, message}, bulletin(kMalloryName, message));
    } else if (pick < 49) {
      std::string message = tag("allowed message");
      request(Outcome{kind::kAllowedBulletin, message}, bulletin(kAliceName, message));
    } else if (pick < 52) {
      request(Outcome{kind::kAppear}, requestOf(home_screen::kAppear));
    } else if (pick < 68) {
      post(uniform(0, 1) ? sig::kMarkReadC : sig::kMarkReadN, {{std::string(sig::kKey), std::to_string(uniform(0, 60))}});
    } else if (pick < 72) {
      post(uniform(0, 1) ? sig::kMarkAllReadC : sig::kMarkAllReadN);
    } else {
      post(uniform(0, 1) ? sig::kUnreadCall : sig::kUnreadNotif);
    }
    sleepMs(uniform(0, 15));
  }
}

int Worker::run() {
  ::close(plan_.startWriteFd);
  char byte;
  while (::read(plan_.startFd, &byte, 1) > 0) {
  }
  ::close(plan_.startFd);
  int argc = 1;
  char arg0[] = "soak-worker";
  char* argv[] = {arg0, nullptr};
  QCoreApplication app(argc, argv);
  center_ = platform::makeDBusCenter(plan_.busAddress);
  if (!center_) return 3;
  if (plan_.index == 0)
    caller();
  else
    mixed();
  if (!center_->sync()) return 4;
  std::ofstream out(plan_.outcomes);
  for (const auto& o : outcomes_)
    out << o.kind << '\t' << o.tag << '\t' << o.via << '\t' << o.answered << '\t' << o.handedOn << '\t' << o.sentMs
        << '\t' << o.answeredMs << '\t' << o.provider << '\n';
  return out.good() ? 0 : 5;
}

}  // namespace

pid_t startWorker(const WorkerPlan& plan) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(Worker(plan).run());
  return pid;
}

std::vector<Outcome> readOutcomes(const std::filesystem::path& file) {
  std::vector<Outcome> out;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Outcome o;
    std::string answered, handedOn, sent, done;
    std::getline(fields, o.kind, '\t');
    std::getline(fields, o.tag, '\t');
    std::getline(fields, o.via, '\t');
    std::getline(fields, answered, '\t');
    std::getline(fields, handedOn, '\t');
    std::getline(fields, sent, '\t');
    std::getline(fields, done, '\t');
    std::getline(fields, o.provider, '\t');
    o.answered = answered == "1";
    o.handedOn = handedOn == "1";
    o.sentMs = std::atoll(sent.c_str());
    o.answeredMs = std::atoll(done.c_str());
    out.push_back(std::move(o));
  }
  return out;
}

}  // namespace soak
