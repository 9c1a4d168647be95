// The call history database: the home screen adds each call as it ends; the
// Phone app reads recents.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/records/database.h"
#include "platform/records/records.h"

namespace platform::records {

class CallHistory {
 public:
  // The device's database (kCallHistoryPath), or the one at `file`.
  static Result<CallHistory> open(Mode mode);
  static Result<CallHistory> open(const std::filesystem::path& file, Mode mode);

  // The new record's id; 0 (with a diagnostic line) when it could not be
  // written. The oldest calls past kMaxCalls go.
  int64_t add(const CallRecord& call);
  // Newest first.
  std::vector<CallRecord> recent(int64_t limit, int64_t offset = 0) const;
  int64_t count() const;

 private:
  explicit CallHistory(std::unique_ptr<Database> db) : db_(std::move(db)) {}
  std::unique_ptr<Database> db_;
};

}  // namespace platform::records
