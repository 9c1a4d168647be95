#include "tests/soak/checks.h"

#include <algorithm>

#include "common/log_store.h"
#include "common/names.h"
#include "platform/foundation/plist.h"

namespace soak {
namespace fs = std::filesystem;
using platform::plist::Ref;

LogContent takeLog(const fs::path& log, const std::string& tagField, size_t fields, bool empty) {
  LogContent content;
  platform::plist::ReadResult read;
  if (empty) {
    auto held = calmora::logs::empty(log);
    if (!held) {
      content.problems.push_back("cannot empty " + log.string() + ": " + held.error().describe());
      return content;
    }
    read = std::move(*held);
  } else {
    read = platform::plist::readDictionary(log);
  }
  if (read.state == platform::plist::ReadState::Unreadable) content.problems.push_back(log.string() + " unreadable");
  size_t count = read.dict.size();
  for (size_t i = 0; i < count; ++i) {
    Ref record = read.dict[std::to_string(i)];
    if (!record.isDict()) {
      content.problems.push_back(log.filename().string() + ": keys not dense, no record " + std::to_string(i) +
                                 " of " + std::to_string(count));
      continue;
    }
    if (record.size() != fields)
      content.problems.push_back(log.filename().string() + ": record " + std::to_string(i) + " has " +
                                 std::to_string(record.size()) + " fields");
    content.tags.push_back(record[tagField].text().value_or("<none>"));
    if (!record[calmora::names::record::kIsRead].truthy()) ++content.unread;
  }
  return content;
}

CallAccounting accountBlockedCalls(const std::vector<Outcome>& caller) {
  CallAccounting a;
  // The window in which the previous blocked delivery read the clock; the
  // first blocked call after loading is always recorded.
  int64_t prevLo = INT64_MIN / 2, prevHi = INT64_MIN / 2;
  std::string prevProvider;
  for (const auto& o : caller) {
    if (o.kind != kind::kBlockedCall || !o.answered) continue;
    auto& range = a.records[o.tag];
    // "both" delivers the event, then the update, inside one request.
    for (int d = 0; d < (o.via == "both" ? 2 : 1); ++d) {
      ++a.deliveries;
      if (o.provider != prevProvider || o.sentMs - prevHi > 1000) {
        ++range.least, ++range.most, ++a.surelyRecorded;
      } else if (o.answeredMs - prevLo <= 1000) {
        ++a.surelyDeduplicated;
      } else {
        ++range.most, ++a.uncertain;
      }
      prevLo = o.sentMs;
      prevHi = o.answeredMs;
      prevProvider = o.provider;
    }
  }
  return a;
}

std::vector<std::string> compareWithLogs(const std::vector<Outcome>& outcomes, const CallAccounting& calls,
                                         const std::vector<std::string>& callTags,
                                         const std::vector<std::string>& bulletinTags) {
  std::vector<std::string> failures;
  std::map<std::string, int> callRecords, bulletinRecords;
  for (const auto& t : callTags) ++callRecords[t];
  for (const auto& t : bulletinTags) ++bulletinRecords[t];

  std::set<std::string> blockedBulletins;
  for (const auto& o : outcomes) {
    if (!o.answered && (o.kind == kind::kBlockedCall || o.kind == kind::kBlockedBulletin ||
                        o.kind == kind::kAllowedCall || o.kind == kind::kAllowedBulletin ||
                        o.kind == kind::kUntouchedCall || o.kind == kind::kAppear)) {
      failures.push_back("no answer to " + o.kind + " " + o.tag);
      continue;
    }
    bool mustStop = o.kind == kind::kBlockedCall || o.kind == kind::kBlockedBulletin;
    bool mustPass = o.kind == kind::kAllowedCall || o.kind == kind::kAllowedBulletin || o.kind == kind::kUntouchedCall;
    if (mustStop && o.handedOn) failures.push_back(o.kind + " handed on: " + o.tag);
    if (mustPass && !o.handedOn) failures.push_back(o.kind + " stopped: " + o.tag);
    if (o.kind == kind::kBlockedBulletin) blockedBulletins.insert(o.tag);
  }

  for (const auto& [tag, n] : callRecords)
    if (!calls.records.count(tag)) failures.push_back("call record not expected: " + tag);
  for (const auto& [tag, range] : calls.records) {
    int n = callRecords.count(tag) ? callRecords[tag] : 0;
    if (n < range.least) failures.push_back("blocked call lost: " + tag);
    if (n > range.most) failures.push_back("call recorded " + std::to_string(n) + " times: " + tag);
  }
  for (const auto& [tag, n] : bulletinRecords) {
    if (!blockedBulletins.count(tag)) failures.push_back("notification record not expected: " + tag);
    if (n > 1) failures.push_back("bulletin recorded " + std::to_string(n) + " times: " + tag);
  }
  for (const auto& tag : blockedBulletins)
    if (!bulletinRecords.count(tag)) failures.push_back("blocked bulletin lost: " + tag);
  return failures;
}

MemoryVerdict judgeMemory(const std::vector<MemorySample>& samples) {
  MemoryVerdict v;
  if (samples.empty()) return v;
  v.firstKb = samples.front().memory.rssKb;
  v.lastKb = samples.back().memory.rssKb;
  for (const auto& s : samples) {
    v.maxKb = std::max(v.maxKb, s.memory.rssKb);
    v.hwmKb = std::max(v.hwmKb, s.memory.hwmKb);
  }
  size_t fifth = std::max<size_t>(1, samples.size() / 5);
  auto median = [](std::vector<int64_t> kb) {
    std::sort(kb.begin(), kb.end());
    return kb[kb.size() / 2];
  };
  std::vector<int64_t> early, late;
  for (size_t i = 0; i < fifth; ++i) early.push_back(samples[i].memory.rssKb);
  for (size_t i = samples.size() - fifth; i < samples.size(); ++i) late.push_back(samples[i].memory.rssKb);
  int64_t base = median(early);
  v.growthKb = median(late) - base;
  // Allocator caches and the simulator's own record of events move the
  // resident size by a few megabytes; a leak of each event grows without end.
  v.flat = v.growthKb <= std::max<int64_t>(6 * 1024, base / 10);
  return v;
}

}  // namespace soak
