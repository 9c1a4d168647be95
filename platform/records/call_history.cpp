#include "platform/records/call_history.h"

#include "platform/foundation/device_paths.h"

namespace platform::records {

namespace {
constexpr const char* kCallsSchema =
    "CREATE TABLE IF NOT EXISTS calls (id INTEGER PRIMARY KEY, date_ms INTEGER, name TEXT, number TEXT,"
    " contact TEXT, bundle TEXT, app_name TEXT, outcome TEXT, duration_ms INTEGER, incoming INTEGER)";
}  // namespace

const char* outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Answered: return "answered";
    case Outcome::Declined: return "declined";
    case Outcome::Missed: break;
  }
  return "missed";
}

Outcome outcomeFromName(std::string_view name) {
  if (name == "answered") return Outcome::Answered;
  if (name == "declined") return Outcome::Declined;
  return Outcome::Missed;
}

Result<CallHistory> CallHistory::open(Mode mode) { return open(devicePath(kCallHistoryPath), mode); }

Result<CallHistory> CallHistory::open(const std::filesystem::path& file, Mode mode) {
  auto db = Database::open(file, mode, kCallsSchema);
  if (!db) return db.error();
  return CallHistory(std::move(*db));
}

int64_t CallHistory::add(const CallRecord& call) {
  Statement insert(db_->handle(),
                   "INSERT INTO calls (date_ms, name, number, contact, bundle, app_name, outcome, duration_ms,"
                   " incoming) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  insert.bind(1, call.dateMs).bind(2, call.name).bind(3, call.number).bind(4, call.contact).bind(5, call.bundle);
  insert.bind(6, call.appName).bind(7, outcomeName(call.outcome)).bind(8, call.durationMs);
  if (!insert.bind(9, int64_t{call.incoming}).run()) return 0;
  const int64_t id = db_->lastInsertId();
  Statement trim(db_->handle(),
                 "DELETE FROM calls WHERE id <= (SELECT id FROM calls ORDER BY id DESC LIMIT 1 OFFSET ?1)");
  (void)trim.bind(1, kMaxCalls).run();
  return id;
}

std::vector<CallRecord> CallHistory::recent(int64_t limit, int64_t offset) const {
  Statement query(db_->handle(),
                  "SELECT id, date_ms, name, number, contact, bundle, app_name, outcome, duration_ms, incoming"
                  " FROM calls ORDER BY id DESC LIMIT ?1 OFFSET ?2");
  query.bind(1, limit).bind(2, offset);
  std::vector<CallRecord> out;
  while (query.step()) {
    out.push_back({query.integer(0), query.integer(1), query.text(2), query.text(3), query.text(4), query.text(5),
                   query.text(6), outcomeFromName(query.text(7)), query.integer(8), query.integer(9) != 0});
  }
  return out;
}

int64_t CallHistory::count() const {
  Statement query(db_->handle(), "SELECT count(*) FROM calls");
  return query.step() ? query.integer(0) : 0;
}

}  // namespace platform::records
