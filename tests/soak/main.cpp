// soak [--seconds N] [--workers N] [--dir DIR] [--keep]
//
// Boots a device, drives it from several processes at once for N seconds
// (60 by default) with blocked and allowed calls and bulletins, mark-read and
// unread requests and appearances of the home screen, empties the logs every
// ten seconds as the log viewer would, then checks that every blocked event
// left exactly one record under dense keys, that every request was answered
// exactly once, that the marker agrees with the logs, and that the
// home-screen process's memory stayed flat. Before that, two processes
// write one settings file at once and every key either adds must be kept.
// Exit status 0 when all holds.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "common/names.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/event_loop.h"
#include "platform/foundation/device_paths.h"
#include "tests/soak/checks.h"
#include "tests/soak/device.h"
#include "tests/soak/settings_writers.h"

namespace fs = std::filesystem;
namespace home_screen = platform::automation::home_screen;
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

bool runUntil(const std::function<bool()>& done, int ms) { return platform::runEventLoopUntil(done, ms); }

void pause(int ms) {
  runUntil([] { return false; }, ms);
}

void append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

int64_t countOf(const std::map<std::string, int64_t>& counts, std::string_view name) {
  auto it = counts.find(std::string(name));
  return it == counts.end() ? 0 : it->second;
}

struct Device {
  fs::path dir;
  pid_t springboard = 0;
  std::string busAddress;
};

// Boots a fresh device in `dir`, shutting down and removing what an earlier
// soak left there; nothing, with a diagnostic line, when it does not come up.
std::optional<Device> bootDevice(const fs::path& dir) {
  std::error_code ec;
  soak::simctl("shutdown", dir);
  fs::remove_all(dir, ec);
  fs::create_directories(dir / "soak");
  platform::setDeviceRoot(dir);
  if (!soak::writeDeviceFiles(dir) || !soak::simctl("boot", dir)) {
    std::fprintf(stderr, "soak: the device at %s did not boot\n", dir.c_str());
    return std::nullopt;
  }
  auto pid = soak::springboardPid(dir);
  std::string address = platform::deviceBusAddress(dir);
  if (!pid || address.empty()) {
    std::fprintf(stderr, "soak: no home-screen process or bus recorded in %s/run\n", dir.c_str());
    return std::nullopt;
  }
  return Device{dir, *pid, address};
}

fs::path outcomesFile(const fs::path& dir, int worker) {
  return dir / "soak" / ("worker-" + std::to_string(worker));
}

struct Load {
  std::vector<pid_t> workers;
  int goFd = -1;  // closing it starts the workers
  int64_t startMs = 0, deadlineMs = 0;
};

// Workers are forked before this process starts Qt, and wait on a pipe.
std::optional<Load> forkWorkers(const Options& options, const fs::path& dir, const std::string& busAddress) {
  int start[2];
  if (::pipe(start) != 0) return std::nullopt;
  Load load;
  load.goFd = start[1];
  load.startMs = soak::nowMs() + 1500;
  load.deadlineMs = load.startMs + int64_t{options.seconds} * 1000;
  for (int i = 0; i < options.workers; ++i) {
    soak::WorkerPlan plan{i, dir, busAddress, load.deadlineMs, start[0], start[1], outcomesFile(dir, i)};
    load.workers.push_back(soak::startWorker(plan));
  }
  ::close(start[0]);
  return load;
}

// How many times the device posted each of its answers; counted whenever
// the event loop runs.
using Answers = std::map<std::string, int64_t>;

void countAnswers(platform::NotificationCenter& center, Answers& answers) {
  for (auto name : {sig::kHide, sig::kShow, sig::kUnreadCallCount, sig::kUnreadNotifCount, sig::kTableRefresh})
    center.addObserver(name, [&answers](const platform::Notification& n) { ++answers[n.name]; });
}

// Both logs' records; with `empty`, the logs are emptied as well.
struct Records {
  std::vector<std::string> calls, bulletins;
  size_t unread = 0;
  std::vector<std::string> problems;
};

Records takeRecords(bool empty) {
  auto c = soak::takeLog(platform::devicePath(names::kBlockedCallsPath), std::string(names::record::kFrom), 7, empty);
  auto n = soak::takeLog(platform::devicePath(names::kBlockedNotifPath), std::string(names::record::kMsg), 8, empty);
  Records r{c.tags, n.tags, c.unread + n.unread, c.problems};
  append(r.problems, n.problems);
  return r;
}

// What the run leaves to check: every record the logs held, the home
// screen's memory over time, and every failure found on the way.
struct Findings {
  std::vector<std::string> callTags, bulletinTags;
  std::vector<soak::MemorySample> samples;
  std::vector<std::string> problems;
};

void sampleMemory(pid_t pid, std::vector<soak::MemorySample>& samples) {
  if (auto m = soak::memoryOf(pid)) samples.push_back({soak::nowMs(), *m});
}

// Starts the workers at the agreed time and, until their deadline, samples
// the home screen's memory and empties the logs as the log viewer would.
Findings drive(const Load& load, pid_t springboard, Answers& answers) {
  pause(std::max<int64_t>(200, load.startMs - soak::nowMs()));
  answers.clear();
  ::close(load.goFd);  // go

  Findings f;
  QTimer sampler, harvester;
  QObject::connect(&sampler, &QTimer::timeout, [&] { sampleMemory(springboard, f.samples); });
  QObject::connect(&harvester, &QTimer::timeout, [&] {
    auto r = takeRecords(true);
    append(f.callTags, r.calls);
    append(f.bulletinTags, r.bulletins);
    append(f.problems, r.problems);
  });
  sampleMemory(springboard, f.samples);
  sampler.start(2000);
  harvester.start(10000);
  pause(static_cast<int>(load.deadlineMs - soak::nowMs()));
  harvester.stop();
  sampler.stop();
  sampleMemory(springboard, f.samples);
  return f;
}

// Workers end at the deadline; a minute later one that has not is stuck.
void reapWorkers(std::vector<pid_t> workers, std::vector<std::string>& problems) {
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
}

struct Outcomes {
  std::vector<soak::Outcome> all;     // the caller's last
  std::vector<soak::Outcome> caller;  // worker 0's
};

// Once the workers are done: what each saw, and the records still in the logs.
Outcomes collect(const Options& options, const Load& load, Findings& f) {
  reapWorkers(load.workers, f.problems);
  Outcomes o;
  for (int i = 0; i < options.workers; ++i) {
    auto seen = soak::readOutcomes(outcomesFile(options.dir, i));
    auto& to = i == 0 ? o.caller : o.all;
    to.insert(to.end(), seen.begin(), seen.end());
  }
  o.all.insert(o.all.end(), o.caller.begin(), o.caller.end());
  auto rest = takeRecords(false);
  append(f.callTags, rest.calls);
  append(f.bulletinTags, rest.bulletins);
  return o;
}

// What the device was asked, by the workers' outcomes, and what it recorded.
struct Tally {
  std::map<std::string, int64_t> posted;  // signal requests by name
  int64_t controlAnswered = 0;            // calls, bulletins and appearances
  int64_t appears = 0;
  int64_t recordedCalls = 0, recordedBulletins = 0;

  int64_t requests() const {
    int64_t n = controlAnswered;
    for (auto& [name, count] : posted) n += count;
    return n;
  }
};

Tally tally(const std::vector<soak::Outcome>& outcomes, const Findings& f) {
  Tally t;
  for (const auto& o : outcomes) {
    if (o.kind.find('/') != std::string::npos) ++t.posted[o.kind];
    else if (o.answered) ++t.controlAnswered;
  }
  t.appears = std::count_if(outcomes.begin(), outcomes.end(), [](auto& o) { return o.kind == soak::kind::kAppear; });
  t.recordedCalls = static_cast<int64_t>(f.callTags.size());
  t.recordedBulletins = static_cast<int64_t>(f.bulletinTags.size());
  return t;
}

// Every request is answered once by the end: posted requests by their
// answers, recorded events by their own postings.
void checkAnswers(const Tally& t, const Answers& answers, std::vector<std::string>& problems) {
  int64_t records = t.recordedCalls + t.recordedBulletins;
  int64_t marks = countOf(t.posted, sig::kMarkReadC) + countOf(t.posted, sig::kMarkReadN) +
                  countOf(t.posted, sig::kMarkAllReadC) + countOf(t.posted, sig::kMarkAllReadN);
  const std::map<std::string, int64_t> expected = {
      {std::string(sig::kUnreadCallCount), countOf(t.posted, sig::kUnreadCall) + t.recordedCalls},
      {std::string(sig::kUnreadNotifCount), countOf(t.posted, sig::kUnreadNotif) + t.recordedBulletins},
      {std::string(sig::kTableRefresh), records},
      {"hide+show", marks + t.appears + records},
  };
  auto observed = [&](const std::string& name) {
    return name == "hide+show" ? countOf(answers, sig::kHide) + countOf(answers, sig::kShow) : countOf(answers, name);
  };
  runUntil([&] {
    return std::all_of(expected.begin(), expected.end(), [&](auto& e) { return observed(e.first) >= e.second; });
  }, 30000);
  pause(500);  // answers beyond the expected ones would show up meanwhile
  for (auto& [name, n] : expected)
    if (observed(name) != n)
      problems.push_back(name + ": " + std::to_string(observed(name)) + " answers for " + std::to_string(n) + " requests");
}

// The device's own record: every blocked status-4 delivery ended the
// calls, every record came with a sound.
void checkDeviceRecord(const fs::path& dir, size_t deliveries, int64_t records, std::vector<std::string>& problems) {
  auto status = soak::askHomeScreen(dir, requestOf(home_screen::kStatus));
  if (!status) {
    problems.push_back("no status at the end");
    return;
  }
  if (status->value("callsEnded").toInteger() != static_cast<int64_t>(deliveries))
    problems.push_back("calls ended " + std::to_string(status->value("callsEnded").toInteger()) + " times for " +
                       std::to_string(deliveries) + " blocked deliveries");
  // The phone's own sounds (a ringtone, a banner's tone) are for what was let through.
  const int64_t blockSounds = status->value("soundsCount").toInteger() - status->value("phoneSoundsCount").toInteger();
  if (blockSounds != records)
    problems.push_back("sounds played: " + std::to_string(blockSounds) + " for " +
                       std::to_string(records) + " records");
}

// The marker after a last appearance, then after everything is read.
void checkMarker(const fs::path& dir, platform::NotificationCenter& center, const Answers& answers,
                 std::vector<std::string>& problems) {
  auto markerVisible = [&]() -> std::optional<bool> {
    auto s = soak::askHomeScreen(dir, requestOf(home_screen::kStatus));
    if (!s || !s->value("marker").isObject()) return std::nullopt;
    return s->value("marker").toObject().value("visible").toBool();
  };
  soak::askHomeScreen(dir, requestOf(home_screen::kAppear));
  bool unread = takeRecords(false).unread > 0;
  if (!runUntil([&] { return markerVisible() == unread; }, 5000))
    problems.push_back(std::string("marker not ") + (unread ? "shown" : "hidden") + " after the last appearance");
  int64_t hidesBefore = countOf(answers, sig::kHide);
  center.post(sig::kMarkAllReadC);
  center.post(sig::kMarkAllReadN);
  if (!runUntil([&] { return countOf(answers, sig::kHide) >= hidesBefore + 1; }, 10000))
    problems.push_back("no hide after marking everything read");
  if (takeRecords(false).unread != 0) problems.push_back("records still unread after marking everything read");
  if (!runUntil([&] { return markerVisible() == false; }, 5000))
    problems.push_back("marker still shown after marking everything read");
}

// A few seconds are mostly warm-up (and a sanitizer's allocator holds freed
// memory back for a while), so only a run of a minute or more is judged.
bool memoryJudged(const Options& options) { return options.seconds >= 60; }

void printFigures(const Options& options, const Tally& t, const soak::CallAccounting& calls,
                  const soak::MemoryVerdict& memory, const Findings& f) {
  const double seconds = options.seconds;
  const int64_t requests = t.requests();
  std::printf("soak: %d s, %d worker processes, device %s\n", options.seconds, options.workers, options.dir.c_str());
  std::printf("  events handled: %lld (%.1f per second): %lld calls and bulletins and appearances, %lld signal "
              "requests\n",
              static_cast<long long>(requests), requests / seconds, static_cast<long long>(t.controlAnswered),
              static_cast<long long>(requests - t.controlAnswered));
  std::printf("  blocked calls: %zu deliveries, %zu recorded for sure, %zu within 1000 ms of the one before, %zu "
              "either way; %lld call records\n",
              calls.deliveries, calls.surelyRecorded, calls.surelyDeduplicated, calls.uncertain,
              static_cast<long long>(t.recordedCalls));
  std::printf("  notification records: %lld; logs emptied every 10 s as the log viewer would\n",
              static_cast<long long>(t.recordedBulletins));
  std::printf("  home-screen memory (VmRSS, %zu samples): first %lld kB, last %lld kB, max %lld kB, peak VmHWM "
              "%lld kB; growth %lld kB (%s)\n",
              f.samples.size(), static_cast<long long>(memory.firstKb), static_cast<long long>(memory.lastKb),
              static_cast<long long>(memory.maxKb), static_cast<long long>(memory.hwmKb),
              static_cast<long long>(memory.growthKb),
              !memoryJudged(options) ? "not judged in a run this short" : memory.flat ? "flat" : "GROWING");
  std::printf("  lost or duplicated records, unanswered or doubled requests: %zu problem(s)\n", f.problems.size());
  for (size_t i = 0; i < f.problems.size() && i < 40; ++i) std::printf("    %s\n", f.problems[i].c_str());
}

// A failed run keeps its device folder for a look; --keep keeps it running.
int cleanUp(const Options& options, bool passed) {
  if (!options.keep) {
    std::error_code ec;
    soak::simctl("shutdown", options.dir);
    if (passed) fs::remove_all(options.dir, ec);
  }
  return passed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  auto options = parse(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: soak [--seconds N>=5] [--workers N>=2] [--dir DIR] [--keep]\n");
    return 2;
  }
  if (fs::exists(options->dir) && !fs::exists(options->dir / "soak")) {
    std::fprintf(stderr, "soak: %s exists and is not a soak device; give another --dir\n", options->dir.c_str());
    return 2;
  }
  auto device = bootDevice(options->dir);
  if (!device) return 1;
  // Before any worker or Qt: the other writer is a forked process.
  auto writers = soak::runSettingsWriters(options->dir / "soak" / "settings-writers.plist", 300);
  auto load = forkWorkers(*options, device->dir, device->busAddress);
  if (!load) return 1;

  QCoreApplication app(argc, argv);
  Answers answers;
  auto center = platform::makeDBusCenter(device->busAddress);
  if (!center) return 1;
  countAnswers(*center, answers);
  Findings findings = drive(*load, device->springboard, answers);
  Outcomes outcomes = collect(*options, *load, findings);

  Tally t = tally(outcomes.all, findings);
  checkAnswers(t, answers, findings.problems);
  auto calls = soak::accountBlockedCalls(outcomes.caller);
  append(findings.problems, soak::compareWithLogs(outcomes.all, calls, findings.callTags, findings.bulletinTags));
  checkDeviceRecord(device->dir, calls.deliveries, t.recordedCalls + t.recordedBulletins, findings.problems);
  checkMarker(device->dir, *center, answers, findings.problems);
  auto memory = soak::judgeMemory(findings.samples);
  if (memoryJudged(*options) && !memory.flat)
    findings.problems.push_back("memory grew by " + std::to_string(memory.growthKb) + " kB");
  append(findings.problems, writers.problems);
  std::printf("soak: settings writers: %d keys added by another process during %d page writes, %d kept\n",
              writers.keysAdded, writers.toggles, writers.keysKept);

  printFigures(*options, t, calls, memory, findings);
  return cleanUp(*options, findings.problems.empty());
}
