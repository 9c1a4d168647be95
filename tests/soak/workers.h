// The soak's load: forked processes that drive the device at once, each
// writing what it did and what the device answered to a file of its own.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace soak {

// What one request did. `kind` is one of the kinds below or the name of a
// posted signal; `tag` tells one event's record from every other one's (the
// caller's display name of a call, the message of a bulletin).
struct Outcome {
  std::string kind;
  std::string tag;
  std::string via;
  bool answered = false;
  bool handedOn = false;
  int64_t sentMs = 0;
  int64_t answeredMs = 0;
  std::string provider;  // of a blocked call: the same call is the same caller through the same provider
};

namespace kind {
// Blocked incoming calls in status 4, all from the one caller process, so
// that the 1000 ms de-duplication they share can be accounted for.
inline constexpr const char* kBlockedCall = "blocked-call";
// Calls of the blocked contact that are outgoing or in another status.
inline constexpr const char* kUntouchedCall = "untouched-call";
inline constexpr const char* kAllowedCall = "allowed-call";
inline constexpr const char* kBlockedBulletin = "blocked-bulletin";
inline constexpr const char* kAllowedBulletin = "allowed-bulletin";
inline constexpr const char* kAppear = "appear";
}  // namespace kind

struct WorkerPlan {
  int index = 0;  // worker 0 is the caller
  std::filesystem::path device;
  std::string busAddress;
  int64_t deadlineMs = 0;
  int startFd = -1;   // the worker starts when this pipe's write end is closed
  int startWriteFd = -1;  // that write end, which the worker closes at once
  std::filesystem::path outcomes;
};

// Forks a worker; it waits for the start, drives the device until the
// deadline and exits 0 once its outcomes are written.
pid_t startWorker(const WorkerPlan& plan);

std::vector<Outcome> readOutcomes(const std::filesystem::path& file);

}  // namespace soak
