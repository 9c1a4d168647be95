#include "common/log_store.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "common/names.h"
#include "common/log_rewrite.h"
#include "common/log_trim.h"
#include "common/log_xml.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/log.h"

namespace calmora::logs {

namespace fields = names::record;
using platform::plist::ReadState;
using platform::plist::Ref;
using platform::plist::Value;

std::filesystem::path logPath(Log log) {
  return platform::devicePath(log == Log::Calls ? names::kBlockedCallsPath : names::kBlockedNotifPath);
}

std::filesystem::path lockPath(const std::filesystem::path& logFile) {
  auto p = logFile;
  p += names::kLogLockSuffix;
  return p;
}

std::filesystem::path lockPath(Log log) { return lockPath(logPath(log)); }

namespace {

// A log as read from disk: the open file and either the layout of the
// engine's own XML form or, for anything else, the parsed dictionary. The
// file stays open, so that a rewrite copies from exactly what was scanned.
struct LoadedLog {
  explicit LoadedLog(const std::filesystem::path& file);

  size_t count() const { return layout ? layout->records.size() : dict.size(); }
  // Parses the whole file, when an edit cannot be made from the layout.
  void parse();
  // The file could not be had. Anything but a regular file at the log's
  // path, or a file past the size limit, is unreadable and kept aside at
  // the next write; a failed read leaves the file as it is.
  void refuse(const platform::Error& why);

  std::filesystem::path path;
  OpenLog file;
  // The file exists but its bytes could not be had (not a parse failure).
  bool readFailed = false;
  int readErrno = 0;
  std::optional<xml::Layout> layout;
  Value dict = Value::dict();  // without a layout
  bool unparsable = false;     // the file is there but is no dictionary plist
  platform::plist::ReadState state = platform::plist::ReadState::Missing;
};

LoadedLog::LoadedLog(const std::filesystem::path& logFile) : path(logFile), file(path) {
  if (file.state() == OpenLog::State::Missing) return;
  if (file.state() == OpenLog::State::Failed) {
    refuse(file.error());
    return;
  }
  xml::Source source(file.fd());
  layout = xml::scan(source);
  if (layout)
    state = ReadState::Ok;
  else
    parse();
}

// A log that another program wrote may hold what no reader expects. It is
// used as it is, so that nothing in it is lost, and said once per reading.
void reportOddShape(const std::filesystem::path& path, Ref dict) {
  size_t notRecords = 0, oddMarks = 0;
  std::vector<bool> keyed(dict.size(), false);
  bool dense = true;
  dict.forEach([&](std::string_view key, Ref value) {
    if (!value.isDict())
      ++notRecords;
    else if (Ref mark = value[fields::kIsRead]; mark && mark.type() != platform::plist::Type::Bool)
      ++oddMarks;
    auto n = platform::plist::decimalValue(key);
    if (n && *n >= 0 && static_cast<size_t>(*n) < keyed.size() && std::to_string(*n) == key)
      keyed[static_cast<size_t>(*n)] = true;
    else
      dense = false;
    return true;
  });
  if (notRecords == 0 && oddMarks == 0 && dense) return;
  std::string what;
  auto add = [&](const std::string& piece) { what += (what.empty() ? "" : ", ") + piece; };
  if (!dense) add("keys that are not 0 to " + std::to_string(dict.size()) + " - 1");
  if (notRecords) add(std::to_string(notRecords) + " entries that are not records (never counted as unread)");
  if (oddMarks) add(std::to_string(oddMarks) + " read marks that are not booleans");
  platform::log("CalmoraDebug: ", path.string(), " holds ", what);
}

void LoadedLog::refuse(const platform::Error& why) {
  platform::log("CalmoraDebug: cannot read ", path.string(), ": ", why.describe());
  state = ReadState::Unreadable;
  dict = Value::dict();
  if (why.code == platform::ErrorCode::NotRegularFile || why.code == platform::ErrorCode::TooLarge) {
    unparsable = true;
  } else {
    readFailed = true;
    readErrno = why.sysErrno;
  }
}

void LoadedLog::parse() {
  layout.reset();
  auto bytes = platform::readAll(file.fd(), path, platform::kMaxLogBytes);
  if (!bytes) {
    refuse(bytes.error());
    return;
  }
  auto parsed = platform::plist::parseDictionary(*bytes);
  dict = std::move(parsed.dict);
  state = parsed.state;
  unparsable = parsed.state == ReadState::Unreadable;
  if (parsed.error)
    platform::log("CalmoraDebug: ", path.string(), " reads as an empty log: ", parsed.error->describe());
  else if (parsed.mended)
    platform::log("CalmoraDebug: ", path.string(), ": a dictionary repeating a key; its last value counts");
  if (!unparsable) reportOddShape(path, dict.ref());
}

// A value that is not a dictionary is no record: it has no read mark that
// a mark operation could set, so counting it would keep the marker on for
// good.
bool isUnreadRecord(Ref value) { return value.isDict() && !value[fields::kIsRead].truthy(); }

size_t unreadIn(const LoadedLog& l) {
  if (l.layout) return l.layout->unread();
  size_t n = 0;
  l.dict.ref().forEach([&](std::string_view, Ref value) {
    n += isUnreadRecord(value) ? 1 : 0;
    return true;
  });
  return n;
}

// A writer killed mid-write leaves its temporary file beside the log. With
// the lock held, no other writer can be writing one.
void removeStaleTemporaries(const std::filesystem::path& logFile) {
  if (size_t n = platform::removeStaleTemporaries(logFile))
    platform::log("CalmoraDebug: removed ", n, " temporary file(s) left beside ", logFile.string(),
                  " by writers that did not finish");
}

// Held around every read-modify-write of a log. Without it the write goes
// ahead anyway: a record written unguarded beats a record dropped.
std::optional<platform::ExclusiveFileLock> lockLog(const std::filesystem::path& logFile) {
  auto lock = platform::ExclusiveFileLock::acquire(lockPath(logFile));
  if (!lock) {
    platform::log("CalmoraDebug: cannot ", lock.error().describe());
    return std::nullopt;
  }
  removeStaleTemporaries(logFile);
  return std::move(*lock);
}

platform::Result<void> reportWrite(const std::filesystem::path& path, platform::Result<void> written) {
  if (!written) platform::log("CalmoraDebug: cannot write ", path.string(), ": ", written.error().describe());
  return written;
}

platform::Result<void> readError(const LoadedLog& l) {
  if (!l.readFailed) return {};
  return platform::Error{platform::ErrorCode::Unreadable, l.readErrno, "read " + l.path.string()};
}

platform::Result<void> mayReplace(const LoadedLog& l) {
  if (!l.readFailed) return {};
  // Its records may all be there; replacing it would lose them for one.
  platform::log("CalmoraDebug: ", l.path.string(), " left as it is: it could not be read");
  return readError(l);
}

// The layout's file with the edits made, by atomic replacement.
platform::Result<void> writeEdits(const LoadedLog& l, const std::vector<xml::Edit>& edits) {
  return reportWrite(l.path, rewriteAtomically(l.path, l.file.fd(), l.layout->size, edits));
}

// The dictionary written whole. A log that exists but does not parse is
// moved aside first, so that nothing it held is lost.
platform::Result<void> writeDictionary(const LoadedLog& l) {
  TRY(mayReplace(l));
  if (l.unparsable) TRY(platform::plist::keepUnreadableAside(l.path));
  return reportWrite(l.path, platform::plist::writeXmlAtomically(l.path, l.dict.ref()));
}

Value textValue(const Field& t) { return Value::string(t.value_or(std::string())); }

// A new, unread record: its date, then the other fields in the log's order.
Value recordValue(const std::string& date, std::initializer_list<std::pair<std::string_view, const Field*>> rest) {
  auto d = Value::dict();
  d.set(fields::kDate, Value::string(date));
  d.set(fields::kIsRead, Value::boolean(false));
  for (const auto& [key, value] : rest) d.set(key, textValue(*value));
  return d;
}

Value callRecordValue(const CallRecord& r) {
  return recordValue(r.date, {{fields::kData, &r.data},
                              {fields::kAppBID, &r.appBID},
                              {fields::kIconData, &r.iconData},
                              {fields::kFrom, &r.from},
                              {fields::kAppName, &r.appName}});
}

Value notificationRecordValue(const NotificationRecord& r) {
  return recordValue(r.date, {{fields::kData, &r.data},
                              {fields::kAppBID, &r.appBID},
                              {fields::kIconData, &r.iconData},
                              {fields::kAppName, &r.appName},
                              {fields::kMsg, &r.msg},
                              {fields::kFrom, &r.from}});
}

std::optional<UnreadMemo::Version> versionAt(const std::filesystem::path& file) { return platform::fileVersion(file); }

// The version that was read: the open file, whatever has replaced it since.
std::optional<UnreadMemo::Version> versionRead(const LoadedLog& l) {
  if (l.readFailed || l.file.fd() < 0) return std::nullopt;
  return platform::fileVersion(l.file.fd());
}

bool knownAllRead(UnreadMemo* memo, Log log) { return memo && memo->unread(log, versionAt(logPath(log))) == 0; }

// After a change made or found: under the lock the file is what was just
// written or read, with `unread` records unread; without it, or after a
// failure, nothing is known.
platform::Result<void> settle(UnreadMemo* memo, Log log, bool locked, platform::Result<void> done, size_t unread) {
  if (memo)
    memo->learn(log, !done || !locked ? std::nullopt : versionAt(logPath(log)), static_cast<int64_t>(unread));
  return done;
}

// Puts the record under `key`, or under the log's count when no key is
// given, all under the log's lock. An append to a log that keeps `keep`
// records drops the oldest in the same rewrite. Answers the key used.
platform::Result<std::string> put(Log log, std::optional<std::string> key, Value record, UnreadMemo* memo,
                                  size_t keep = kKeepAll) {
  // Serialised before the lock is taken: with an icon it is the slow part.
  auto text = xml::serialise(record.ref());
  auto lock = lockLog(logPath(log));
  LoadedLog l(logPath(log));
  size_t drop = 0;
  if (!key) {
    drop = recordsToDrop(l.count(), keep);
    size_t next = l.count() - drop;
    key = std::to_string(next);
    if (!l.layout) {
      // Only a log with holes in its keys (not written by this engine) can
      // hold the count as a key already; that record stays.
      while (!drop && l.dict[*key]) key = std::to_string(++next);
      if (next != l.count() - drop)
        platform::log("CalmoraDebug: ", l.path.string(), " has no dense keys; record stored under ", *key);
    }
  }
  platform::Result<void> written;
  size_t unread = 0;
  if (l.layout && text && *key == std::to_string(l.layout->records.size() - drop)) {
    auto edits = dropOldest(*l.layout, drop);
    edits.push_back(xml::appendRecord(*l.layout, *text, drop));
    written = writeEdits(l, edits);
    // The layout is the file before the edits: its kept records and the new one.
    for (size_t k = drop; k < l.layout->records.size(); ++k) unread += l.layout->records[k].unread ? 1 : 0;
    ++unread;
  } else {
    if (l.layout) l.parse();
    if (drop && !dropOldest(l.dict, drop)) {
      // Keys that are not 0 to count - 1 give no order to drop by; the record
      // goes under the first free key instead.
      platform::log("CalmoraDebug: ", l.path.string(), " has no dense keys; nothing dropped to keep ", keep);
      size_t next = l.count();
      key = std::to_string(next);
      while (l.dict[*key]) key = std::to_string(++next);
    }
    l.dict.set(*key, std::move(record));
    written = writeDictionary(l);
    unread = unreadIn(l);
  }
  TRY(settle(memo, log, lock.has_value(), std::move(written), unread));
  return std::move(*key);
}

// Marks the given records of the layout (every record when none is
// named) read, where each has a plain "<false/>" mark; answers false when
// some record needs the full parse instead.
bool markInLayout(const LoadedLog& l, std::optional<size_t> only, platform::Result<void>& written) {
  std::vector<size_t> keys;
  for (size_t k = only.value_or(0); k < (only ? *only + 1 : l.layout->records.size()); ++k) {
    const auto& r = l.layout->records[k];
    if (!r.unread) continue;
    if (r.falseMark == xml::Layout::kNone) return false;
    keys.push_back(k);
  }
  if (!keys.empty()) written = writeEdits(l, xml::markRead(*l.layout, keys));
  return true;
}

}  // namespace

int64_t blockedCallsCount() { return static_cast<int64_t>(LoadedLog(logPath(Log::Calls)).count()); }

std::optional<int64_t> UnreadMemo::unread(Log log, const std::optional<Version>& version) const {
  std::lock_guard lock(mutex_);
  const auto& k = known_[static_cast<size_t>(log)];
  if (!version || !k || k->version != *version) return std::nullopt;
  return k->unread;
}

void UnreadMemo::learn(Log log, const std::optional<Version>& version, int64_t unread) {
  std::lock_guard lock(mutex_);
  auto& k = known_[static_cast<size_t>(log)];
  if (version)
    k = Known{*version, unread};
  else
    k.reset();
}

int64_t unreadCount(Log log, UnreadMemo* memo) {
  if (memo)
    if (auto n = memo->unread(log, versionAt(logPath(log)))) return *n;
  LoadedLog l(logPath(log));
  auto n = static_cast<int64_t>(unreadIn(l));
  if (memo) memo->learn(log, versionRead(l), n);
  return n;
}

bool isAllRead(UnreadMemo* memo) {
  return unreadCount(Log::Calls, memo) == 0 && unreadCount(Log::Notifications, memo) == 0;
}

platform::Result<void> saveBlockedCall(std::string_view key, const CallRecord& record) {
  TRY(put(Log::Calls, std::string(key), callRecordValue(record), nullptr));
  return {};
}

platform::Result<std::string> appendCall(const CallRecord& record, UnreadMemo* memo, size_t keep) {
  return put(Log::Calls, std::nullopt, callRecordValue(record), memo, keep);
}

platform::Result<std::string> appendNotification(const NotificationRecord& record, UnreadMemo* memo, size_t keep) {
  return put(Log::Notifications, std::nullopt, notificationRecordValue(record), memo, keep);
}

// The unread records are all marked in one write; marking them one write
// each, as the records are visited, ends in the same file at a cost that
// grows with the square of the log.
platform::Result<void> markAllRead(Log log, UnreadMemo* memo) {
  if (knownAllRead(memo, log)) return {};
  auto lock = lockLog(logPath(log));
  LoadedLog l(logPath(log));
  platform::Result<void> written;
  if (l.layout && !markInLayout(l, std::nullopt, written)) l.parse();
  if (l.layout) return settle(memo, log, lock.has_value(), std::move(written), 0);
  if (l.readFailed) return settle(memo, log, false, readError(l), 0);
  bool changed = false;
  l.dict.ref().forEach([&](std::string_view, Ref value) {
    if (isUnreadRecord(value)) {
      platform::plist::setItem(value, fields::kIsRead, Value::boolean(true));
      changed = true;
    }
    return true;
  });
  return settle(memo, log, lock.has_value(), changed ? writeDictionary(l) : platform::Result<void>(), 0);
}

platform::Result<void> markRead(Log log, std::string_view key, UnreadMemo* memo) {
  if (knownAllRead(memo, log)) return {};
  auto lock = lockLog(logPath(log));
  LoadedLog l(logPath(log));
  platform::Result<void> written;
  size_t marked = 0;
  if (l.layout) {
    // Only the canonical decimal text names a record of a dense log.
    auto n = platform::plist::decimalValue(key);
    bool names = n && *n >= 0 && std::to_string(*n) == key && static_cast<size_t>(*n) < l.count();
    if (names && !markInLayout(l, static_cast<size_t>(*n), written))
      l.parse();
    else if (names && l.layout->records[static_cast<size_t>(*n)].unread)
      marked = 1;
  }
  if (l.layout) return settle(memo, log, lock.has_value(), std::move(written), l.layout->unread() - marked);
  if (l.readFailed) return settle(memo, log, false, readError(l), 0);
  Ref record = l.dict[key];
  if (isUnreadRecord(record)) {
    platform::plist::setItem(record, fields::kIsRead, Value::boolean(true));
    written = writeDictionary(l);
  }
  return settle(memo, log, lock.has_value(), std::move(written), unreadIn(l));
}

platform::Result<platform::plist::ReadResult> empty(const std::filesystem::path& logFile) {
  auto lock = platform::ExclusiveFileLock::acquire(lockPath(logFile));
  if (!lock) {
    platform::log("CalmoraDebug: ", logFile.string(), " not emptied: cannot ", lock.error().describe());
    return lock.error();
  }
  removeStaleTemporaries(logFile);
  LoadedLog l(logFile);
  TRY(mayReplace(l));
  if (l.layout) l.parse();
  platform::plist::ReadResult held;
  held.state = l.state;
  held.dict = std::move(l.dict);
  if (l.unparsable) {
    TRY(platform::plist::keepUnreadableAside(logFile));
  } else if (held.dict.size() > 0) {
    TRY(reportWrite(logFile, platform::plist::writeXmlAtomically(logFile, Value::dict().ref())));
  }
  return held;
}

namespace {

RecordContent contentOf(Ref record) {
  auto text = [&](std::string_view key) { return record[key].text().value_or(std::string()); };
  RecordContent c{text(fields::kDate), text(fields::kData),    text(fields::kFrom), text(fields::kAppBID),
                  text(fields::kAppName), text(fields::kMsg), {}};
  if (auto icon = record[fields::kIconData].string()) c.iconData = std::string(*icon);
  return c;
}

// A record of the layout read back from the open file, its texts as the
// viewer reads them.
std::optional<RecordContent> contentOf(const LoadedLog& l, const xml::Layout::Record& r) {
  constexpr size_t kClose = std::string_view("</dict>").size();
  if (!r.isDict || r.end < r.begin) return std::nullopt;
  std::string bytes(r.end + kClose - r.begin, '\0');
  if (::pread(l.file.fd(), bytes.data(), bytes.size(), static_cast<off_t>(r.begin)) != ssize_t(bytes.size()))
    return std::nullopt;
  xml::Layout::Record inMemory = r;
  inMemory.begin = 0;
  inMemory.end = r.end - r.begin;
  using Kind = xml::Field::Kind;
  RecordContent c;
  for (const auto& f : xml::fields(bytes, inMemory)) {
    const bool isText = f.kind == Kind::String || f.kind == Kind::Integer || f.kind == Kind::Real;
    std::string* field = f.key == fields::kDate      ? &c.date
                         : f.key == fields::kData    ? &c.data
                         : f.key == fields::kFrom    ? &c.from
                         : f.key == fields::kAppBID  ? &c.appBID
                         : f.key == fields::kAppName ? &c.appName
                         : f.key == fields::kMsg     ? &c.msg
                         : f.key == fields::kIconData ? &c.iconData
                                                      : nullptr;
    if (field) *field = isText && (f.key != fields::kIconData || f.kind == Kind::String) ? xml::resolved(f.text) : "";
  }
  return c;
}

// Keys from `key` outwards, the nearer first: a record only ever moves to
// a lower key (a removal before it), but the caller's key may be stale in
// either direction.
template <class Matches>
std::optional<size_t> nearestMatch(size_t count, int64_t key, Matches&& matches) {
  if (count == 0) return std::nullopt;
  const int64_t n = static_cast<int64_t>(count), from = std::clamp<int64_t>(key, 0, n - 1);
  if (matches(static_cast<size_t>(from))) return static_cast<size_t>(from);
  for (int64_t d = 1; d < n; ++d)
    for (int64_t k : {from - d, from + d})
      if (k >= 0 && k < n && matches(static_cast<size_t>(k))) return static_cast<size_t>(k);
  return std::nullopt;
}

}  // namespace

platform::Result<std::optional<int64_t>> removeRecord(const std::filesystem::path& logFile, int64_t key,
                                                      const RecordContent& shown) {
  auto lock = platform::ExclusiveFileLock::acquire(lockPath(logFile));
  if (!lock) {
    // A record removed unguarded could take an append with it.
    platform::log("CalmoraDebug: nothing removed from ", logFile.string(), ": cannot ", lock.error().describe());
    return lock.error();
  }
  removeStaleTemporaries(logFile);
  LoadedLog l(logFile);
  TRY(mayReplace(l));
  if (l.unparsable) return std::optional<int64_t>();  // no record of it can be the one shown
  if (l.layout) {
    const auto& records = l.layout->records;
    auto at = nearestMatch(records.size(), key, [&](size_t k) { return contentOf(l, records[k]) == shown; });
    if (!at) return std::optional<int64_t>();
    // The last record gone, the log is written as the empty log is.
    TRY(records.size() == 1 ? reportWrite(logFile, platform::plist::writeXmlAtomically(logFile, Value::dict().ref()))
                            : writeEdits(l, xml::removeRecord(*l.layout, *at)));
    return std::optional<int64_t>(static_cast<int64_t>(*at));
  }
  // Another program's log: the dictionary in its own order, with every
  // decimal key above the removed one moved down one, so that dense keys
  // stay dense and no two keys meet.
  std::vector<std::pair<std::string, Ref>> items;
  l.dict.ref().forEach([&](std::string_view k, Ref value) {
    items.emplace_back(std::string(k), value);
    return true;
  });
  auto numberOf = [](const std::string& k) -> std::optional<int64_t> {
    auto n = platform::plist::decimalValue(k);
    if (n && *n >= 0 && std::to_string(*n) == k) return n;
    return std::nullopt;
  };
  std::optional<std::string> removed;
  for (int pass = 0; pass < 2 && !removed; ++pass)
    for (const auto& [k, value] : items)
      if ((pass == 1 || numberOf(k) == key) && value.isDict() && contentOf(value) == shown) {
        removed = k;
        break;
      }
  if (!removed) return std::optional<int64_t>();
  const int64_t gone = numberOf(*removed).value_or(INT64_MAX);
  auto rest = Value::dict();
  for (const auto& [k, value] : items) {
    if (k == *removed) continue;
    auto n = numberOf(k);
    rest.set(n && *n > gone ? std::to_string(*n - 1) : k, value.copy());
  }
  l.dict = std::move(rest);
  TRY(writeDictionary(l));
  return std::optional<int64_t>(gone == INT64_MAX ? -1 : gone);
}

}  // namespace calmora::logs
