#include "hook/pending_records.h"

#include <algorithm>

#include "platform/foundation/log.h"
#include "platform/foundation/status_extras.h"

namespace calmora::logs {

namespace {
constexpr std::string_view kStatusName = "pendingRecords";

bool written(const PendingRecords::Record& record, UnreadMemo& memo, size_t keep) {
  if (const auto* call = std::get_if<CallRecord>(&record)) return appendCall(*call, &memo, keep).ok();
  return appendNotification(std::get<NotificationRecord>(record), &memo, keep).ok();
}
}  // namespace

void PendingRecords::write(Record record, UnreadMemo& memo, size_t keep) {
  std::lock_guard lock(mutex_);
  waiting_.push_back(std::move(record));
  flushLocked(memo, keep, waiting_.size() - 1);
}

void PendingRecords::flush(UnreadMemo& memo, size_t keep) {
  std::lock_guard lock(mutex_);
  if (!waiting_.empty()) flushLocked(memo, keep, waiting_.size());
}

void PendingRecords::flushLocked(UnreadMemo& memo, size_t keep, size_t waited) {
  // In order: a record after one that failed would take its key.
  while (!waiting_.empty() && written(waiting_.front(), memo, keep)) waiting_.pop_front();
  if (waiting_.empty() && waited > 0)
    platform::log("CalmoraDebug: ", waited, " records that had waited are written");
  else if (!waiting_.empty())
    platform::log("CalmoraDebug: ", waiting_.size(), " records of blocked events wait to be written");
  platform::statusExtras()->set(kStatusName, static_cast<int64_t>(waiting_.size()));
}

size_t PendingRecords::count(Log log) const {
  std::lock_guard lock(mutex_);
  const size_t calls = static_cast<size_t>(
      std::count_if(waiting_.begin(), waiting_.end(), [](const Record& r) { return r.index() == 0; }));
  return log == Log::Calls ? calls : waiting_.size() - calls;
}

size_t PendingRecords::size() const {
  std::lock_guard lock(mutex_);
  return waiting_.size();
}

}  // namespace calmora::logs
