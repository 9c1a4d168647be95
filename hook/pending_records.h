// Records of blocked events that could not be written (a folder that
// cannot be written, a full disk). The event stays blocked; its record
// waits here, in order, and is written before the next record or mark
// request that comes, so that the records reach their logs in the order
// of the events and under dense keys once writing works again.
#pragma once

#include <deque>
#include <mutex>
#include <variant>

#include "common/log_store.h"

namespace calmora::logs {

class PendingRecords {
 public:
  using Record = std::variant<CallRecord, NotificationRecord>;

  // Writes whatever waits, then `record`, each log keeping `keep` records
  // (appendCall); what cannot be written waits.
  void write(Record record, UnreadMemo& memo, size_t keep);
  // Writes whatever waits, as far as writing succeeds.
  void flush(UnreadMemo& memo, size_t keep);
  // Waiting records of the log: every one of them is unread.
  size_t count(Log log) const;
  size_t size() const;

 private:
  // `waited`: how many of the records were waiting before this write.
  void flushLocked(UnreadMemo& memo, size_t keep, size_t waited);

  mutable std::mutex mutex_;
  std::deque<Record> waiting_;
};

}  // namespace calmora::logs
