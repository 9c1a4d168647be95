// soak [--seconds N] [--workers N] [--dir DIR] [--keep]
//
// Boots a device, drives it from several processes at once for N seconds
// (60 by default) with blocked and allowed calls and bulletins, mark-read and
// unread requests and appearances of the home screen, empties the logs every
// ten seconds as the log viewer would, then checks that every blocked event
// left exactly one record under dense keys, that every request was answered
// exactly once, that the marker agrees with the logs, and that the
// home-screen process's memory stayed flat. Exit status 0 when all holds.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "common/names.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_paths.h"
#include "platform/springboard/control.h"
#include "tools/soak/checks.h"

namespace fs = std::filesystem;
namespace names = calmora::names;
namespace sig = calmora::names::signal;

namespace {

struct Options {
  int seconds = 60;
  int workers = 4;
  fs::path dir;
  bool keep = false;
};

std::optional<Options> parse(int argc, char** argv) {
  Options o;
  o.dir = fs::temp_directory_path() / ("calmora-soak-" + std::to_string(::getpid()));
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--seconds" && hasValue) o.seconds = std::atoi(argv[++i]);
    else if (a == "--workers" && hasValue) o.workers = std::atoi(argv[++i]);
    else if (a == "--dir" && hasValue) o.dir = fs::absolute(argv[++i]);
    else if (a == "--keep") o.keep = true;
    else return std::nullopt;
  }
  if (o.seconds < 5 || o.workers < 2) return std::nullopt;
  return o;
}

// Runs the event loop until `done` holds or `ms` pass; answers `done()`.
bool runUntil(const std::function<bool()>& done, int ms) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(20);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  if (!done()) loop.exec();
  return done();
}

void pause(int ms) {
  runUntil([] { return false; }, ms);
}

}  // namespace

int main(int argc, char** argv) {
  auto options = parse(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: soak [--seconds N>=5] [--workers N>=2] [--dir DIR] [--keep]\n");
    return 2;
  }
  const fs::path dir = options->dir;
  std::error_code ec;
  if (fs::exists(dir) && !fs::exists(dir / "soak")) {
    std::fprintf(stderr, "soak: %s exists and is not a soak device; give another --dir\n", dir.c_str());
    return 2;
  }
  soak::simctl("shutdown", dir);
  fs::remove_all(dir, ec);
  fs::create_directories(dir / "soak");
  platform::setDeviceRoot(dir);
  if (!soak::writeDeviceFiles(dir) || !soak::simctl("boot", dir)) {
    std::fprintf(stderr, "soak: the device at %s did not boot\n", dir.c_str());
    return 1;
  }
  auto pid = soak::springboardPid(dir);
  std::string address = platform::deviceBusAddress(dir);
  if (!pid || address.empty()) {
    std::fprintf(stderr, "soak: no home-screen process or bus recorded in %s/run\n", dir.c_str());
    return 1;
  }

  // Workers are forked before this process starts Qt, and wait on a pipe.
  int start[2];
  if (::pipe(start) != 0) return 1;
  const int64_t startMs = soak::nowMs() + 1500;
  const int64_t deadlineMs = startMs + int64_t{options->seconds} * 1000;
  std::vector<pid_t> workers;
  for (int i = 0; i < options->workers; ++i) {
    soak::WorkerPlan plan{i,        dir,      address, deadlineMs,
                          start[0], start[1], dir / "soak" / ("worker-" + std::to_string(i))};
    workers.push_back(soak::startWorker(plan));
  }
  ::close(start[0]);

  QCoreApplication app(argc, argv);
  auto center = platform::makeDBusCenter(address);
  if (!center) return 1;
  std::map<std::string, int64_t> answers;
  for (auto name : {sig::kHide, sig::kShow, sig::kUnreadCallCount, sig::kUnreadNotifCount, sig::kTableRefresh})
    center->addObserver(name, [&answers](const platform::Notification& n) { ++answers[n.name]; });
  pause(std::max<int64_t>(200, startMs - soak::nowMs()));
  answers.clear();
  ::close(start[1]);  // go

  std::vector<soak::MemorySample> samples;
  std::vector<std::string> callTags, bulletinTags, problems;
  auto callsLog = platform::devicePath(names::kBlockedCallsPath);
  auto notifLog = platform::devicePath(names::kBlockedNotifPath);
  auto take = [&](bool empty) {
    for (auto [log, field, fields, tags] : {std::tuple{callsLog, names::record::kFrom, 7, &callTags},
                                            std::tuple{notifLog, names::record::kMsg, 8, &bulletinTags}}) {
      auto content = soak::takeLog(log, std::string(field), static_cast<size_t>(fields), empty);
      tags->insert(tags->end(), content.tags.begin(), content.tags.end());
      problems.insert(problems.end(), content.problems.begin(), content.problems.end());
    }
  };
  QTimer sampler, harvester;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (auto m = soak::memoryOf(*pid)) samples.push_back({soak::nowMs(), *m});
  });
  QObject::connect(&harvester, &QTimer::timeout, [&] { take(true); });
  if (auto m = soak::memoryOf(*pid)) samples.push_back({soak::nowMs(), *m});
  sampler.start(2000);
  harvester.start(10000);
  pause(static_cast<int>(deadlineMs - soak::nowMs()));
  harvester.stop();
  sampler.stop();
  if (auto m = soak::memoryOf(*pid)) samples.push_back({soak::nowMs(), *m});

  // Workers end at the deadline; a minute later one that has not is stuck.
  std::vector<soak::Outcome> outcomes, caller;
  bool workersOk = runUntil([&] {
    for (auto& w : workers) {
      int status = 0;
      if (w > 0 && ::waitpid(w, &status, WNOHANG) == w) {
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) problems.push_back("a worker failed");
        w = 0;
      }
    }
    return std::all_of(workers.begin(), workers.end(), [](pid_t w) { return w == 0; });
  }, 60000);
  for (pid_t w : workers)
    if (w > 0) ::kill(w, SIGKILL), problems.push_back("a worker did not finish");
  if (!workersOk) problems.push_back("workers timed out");
  for (int i = 0; i < options->workers; ++i) {
    auto o = soak::readOutcomes(dir / "soak" / ("worker-" + std::to_string(i)));
    (i == 0 ? caller : outcomes).insert((i == 0 ? caller : outcomes).end(), o.begin(), o.end());
  }
  outcomes.insert(outcomes.end(), caller.begin(), caller.end());

  // Every request is answered once by the end: posted requests by their
  // answers, recorded events by their own postings.
  std::map<std::string, int64_t> posted;
  int64_t controlAnswered = 0;
  for (const auto& o : outcomes) {
    if (o.kind.find('/') != std::string::npos) ++posted[o.kind];
    else if (o.answered) ++controlAnswered;
  }
  std::vector<std::string> finalCalls, finalBulletins;
  auto snapshot = [&] {
    auto c = soak::takeLog(callsLog, std::string(names::record::kFrom), 7, false);
    auto n = soak::takeLog(notifLog, std::string(names::record::kMsg), 8, false);
    finalCalls = c.tags;
    finalBulletins = n.tags;
    return c.unread + n.unread;
  };
  snapshot();
  auto recordedCalls = static_cast<int64_t>(callTags.size() + finalCalls.size());
  auto recordedBulletins = static_cast<int64_t>(bulletinTags.size() + finalBulletins.size());
  int64_t marks = posted[std::string(sig::kMarkReadC)] + posted[std::string(sig::kMarkReadN)] +
                  posted[std::string(sig::kMarkAllReadC)] + posted[std::string(sig::kMarkAllReadN)];
  int64_t appears = std::count_if(outcomes.begin(), outcomes.end(), [](auto& o) { return o.kind == soak::kind::kAppear; });
  std::map<std::string, int64_t> expected = {
      {std::string(sig::kUnreadCallCount), posted[std::string(sig::kUnreadCall)] + recordedCalls},
      {std::string(sig::kUnreadNotifCount), posted[std::string(sig::kUnreadNotif)] + recordedBulletins},
      {std::string(sig::kTableRefresh), recordedCalls + recordedBulletins},
      {"hide+show", marks + appears + recordedCalls + recordedBulletins},
  };
  auto observed = [&](const std::string& name) {
    return name == "hide+show" ? answers[std::string(sig::kHide)] + answers[std::string(sig::kShow)] : answers[name];
  };
  runUntil([&] {
    for (auto& [name, n] : expected)
      if (observed(name) < n) return false;
    return true;
  }, 30000);
  pause(500);  // answers beyond the expected ones would show up meanwhile
  for (auto& [name, n] : expected)
    if (observed(name) != n)
      problems.push_back(name + ": " + std::to_string(observed(name)) + " answers for " + std::to_string(n) + " requests");

  auto calls = soak::accountBlockedCalls(caller);
  callTags.insert(callTags.end(), finalCalls.begin(), finalCalls.end());
  bulletinTags.insert(bulletinTags.end(), finalBulletins.begin(), finalBulletins.end());
  auto mismatches = soak::compareWithLogs(outcomes, calls, callTags, bulletinTags);
  problems.insert(problems.end(), mismatches.begin(), mismatches.end());

  // The device's own record: every blocked status-4 delivery ended the
  // calls, every record came with a sound.
  auto status = host::controlRequest(dir, QJsonObject{{"verb", "status"}});
  if (!status) problems.push_back("no status at the end");
  if (status && status->value("callsEnded").toInteger() != static_cast<int64_t>(calls.deliveries))
    problems.push_back("calls ended " + std::to_string(status->value("callsEnded").toInteger()) + " times for " +
                       std::to_string(calls.deliveries) + " blocked deliveries");
  if (status && status->value("soundsCount").toInteger() != recordedCalls + recordedBulletins)
    problems.push_back("sounds played: " + std::to_string(status->value("soundsCount").toInteger()) + " for " +
                       std::to_string(recordedCalls + recordedBulletins) + " records");

  // The marker after a last appearance, then after everything is read.
  auto markerVisible = [&]() -> std::optional<bool> {
    auto s = host::controlRequest(dir, QJsonObject{{"verb", "status"}});
    if (!s || !s->value("marker").isObject()) return std::nullopt;
    return s->value("marker").toObject().value("visible").toBool();
  };
  host::controlRequest(dir, QJsonObject{{"verb", "appear"}});
  bool unread = snapshot() > 0;
  if (!runUntil([&] { return markerVisible() == unread; }, 5000))
    problems.push_back(std::string("marker not ") + (unread ? "shown" : "hidden") + " after the last appearance");
  int64_t hidesBefore = answers[std::string(sig::kHide)];
  center->post(sig::kMarkAllReadC);
  center->post(sig::kMarkAllReadN);
  if (!runUntil([&] { return answers[std::string(sig::kHide)] >= hidesBefore + 1; }, 10000))
    problems.push_back("no hide after marking everything read");
  if (snapshot() != 0) problems.push_back("records still unread after marking everything read");
  if (!runUntil([&] { return markerVisible() == false; }, 5000))
    problems.push_back("marker still shown after marking everything read");

  auto memory = soak::judgeMemory(samples);
  if (!memory.flat) problems.push_back("memory grew by " + std::to_string(memory.growthKb) + " kB");

  double seconds = options->seconds;
  int64_t requests = controlAnswered;
  for (auto& [name, n] : posted) requests += n;
  std::printf("soak: %d s, %d worker processes, device %s\n", options->seconds, options->workers, dir.c_str());
  std::printf("  events handled: %lld (%.1f per second): %lld calls and bulletins and appearances, %lld signal "
              "requests\n",
              static_cast<long long>(requests), requests / seconds, static_cast<long long>(controlAnswered),
              static_cast<long long>(requests - controlAnswered));
  std::printf("  blocked calls: %zu deliveries, %zu recorded for sure, %zu within 1000 ms of the one before, %zu "
              "either way; %lld call records\n",
              calls.deliveries, calls.surelyRecorded, calls.surelyDeduplicated, calls.uncertain,
              static_cast<long long>(recordedCalls));
  std::printf("  notification records: %lld; logs emptied every 10 s as the log viewer would\n",
              static_cast<long long>(recordedBulletins));
  std::printf("  home-screen memory (VmRSS, %zu samples): first %lld kB, last %lld kB, max %lld kB, peak VmHWM "
              "%lld kB; growth %lld kB (%s)\n",
              samples.size(), static_cast<long long>(memory.firstKb), static_cast<long long>(memory.lastKb),
              static_cast<long long>(memory.maxKb), static_cast<long long>(memory.hwmKb),
              static_cast<long long>(memory.growthKb), memory.flat ? "flat" : "GROWING");
  std::printf("  lost or duplicated records, unanswered or doubled requests: %zu problem(s)\n", problems.size());
  for (size_t i = 0; i < problems.size() && i < 40; ++i) std::printf("    %s\n", problems[i].c_str());

  if (!options->keep) {
    soak::simctl("shutdown", dir);
    if (problems.empty()) fs::remove_all(dir, ec);
  }
  return problems.empty() ? 0 : 1;
}
