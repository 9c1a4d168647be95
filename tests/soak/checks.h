// What the soak checks after its run: the two logs against the outcomes the
// workers saw, the answers the device posted, the marker and the memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/soak/device.h"
#include "tests/soak/workers.h"

namespace soak {

// The records of one log, by the field that tells one event from another.
struct LogContent {
  std::vector<std::string> tags;  // in key order
  size_t unread = 0;
  std::vector<std::string> problems;  // keys not dense, records not whole
};

// Reads a log; with `empty`, empties it under its writers' lock, as the log
// viewer's delete-all does, so that the logs stay small however long the
// soak runs.
LogContent takeLog(const std::filesystem::path& log, const std::string& tagField, size_t fields, bool empty);

// How many records each blocked call must have left: one when it came more
// than 1000 ms after the blocked delivery before it or through another
// provider (all come from one contact), none when it came within through the
// same one, either when the soak cannot tell. The soak knows when it sent
// each request and when the answer came, not the moment the device read
// its clock, so a call whose window straddles the 1000 ms may go either way.
struct CallAccounting {
  struct Range {
    int least = 0, most = 0;
  };
  std::map<std::string, Range> records;  // by the caller's display name
  size_t deliveries = 0;                 // blocked status-4 deliveries: each ends all calls
  size_t surelyRecorded = 0, surelyDeduplicated = 0, uncertain = 0;
};
CallAccounting accountBlockedCalls(const std::vector<Outcome>& caller);

// Every failure found, as a line for the summary; empty when all holds.
std::vector<std::string> compareWithLogs(const std::vector<Outcome>& outcomes, const CallAccounting& calls,
                                         const std::vector<std::string>& callTags,
                                         const std::vector<std::string>& bulletinTags);

struct MemorySample {
  int64_t atMs = 0;
  Memory memory;
};
struct MemoryVerdict {
  int64_t firstKb = 0, lastKb = 0, maxKb = 0, hwmKb = 0, growthKb = 0;
  bool flat = false;
};
// Flat when the resident size over the last fifth of the run lies within
// noise of that over the first fifth (after start-up).
MemoryVerdict judgeMemory(const std::vector<MemorySample>& samples);

}  // namespace soak
