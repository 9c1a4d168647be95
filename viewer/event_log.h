// A blocked-event log as the viewer reads it: each version of the file (its
// device, inode, size and modification time) is read and indexed once and
// shared by every screen that shows it. A list holds the snapshot it took at
// its last reload, so that its rows all come from one version while the
// hook library keeps replacing the file in another process.
#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/file_io.h"

namespace calmora::viewer {

// The fields of one record, absent ones empty.
struct EventRecord {
  QString data, date, from, appBID, appName, msg;
  std::string iconData;  // base64, decoded only for rows on screen
  bool isRead = false;
  bool exists = false;
};

class EventLogSnapshot {
 public:
  struct Content;
  explicit EventLogSnapshot(std::shared_ptr<const Content> content) : content_(std::move(content)) {}
  int64_t count() const;
  enum class Icon { Read, Skip };
  // The record whose key is the decimal text of `number`; an empty record
  // when there is none or it is no dictionary. A search reads no icon.
  EventRecord record(int64_t number, Icon icon = Icon::Read) const;
  // What a search looks in: "From", "Data", "msg" and "appName" as UTF-8,
  // each followed by a unit separator.
  std::string searchText(int64_t number) const;
  // Row r of a list shows record count - 1 - r, newest first.
  int64_t numberForRow(int row) const { return count() - 1 - row; }
  // Differs whenever the content may differ.
  uint64_t generation() const;

 private:
  std::shared_ptr<const Content> content_;
};

// The newest records of one version of a log, read from the end of its
// bytes before they are indexed: the rows a list shows meanwhile.
struct EventLogTail {
  int64_t count = 0;                 // the number of the newest record + 1
  std::vector<EventRecord> records;  // newest first, as the rows show them
  uint64_t generation = 0;           // that of the snapshot of the same bytes
};

class EventLog {
 public:
  explicit EventLog(std::filesystem::path file) : file_(std::move(file)) {}
  const std::filesystem::path& path() const { return file_; }
  // The log as it is on disk now; one stat while the file is unchanged.
  EventLogSnapshot current();
  // Maps the file as it is now, for the next `current()` (on any thread) to
  // index while the file is still that version, and reads its newest
  // `records` from their end. Nothing unless they are numbered count - 1,
  // count - 2, ... in file order, as the keys "0", "1", ... that the library
  // writes are: whether all the others are there only the index tells.
  std::optional<EventLogTail> newest(size_t records);
  // How many times a version of the file was read and indexed.
  uint64_t reads() const { return reads_; }

 private:
  std::filesystem::path file_;
  std::mutex mutex_;
  std::optional<platform::FileVersion> version_;
  std::shared_ptr<const EventLogSnapshot::Content> content_;
  // Mapped by `newest`, not indexed yet, and the version it is.
  std::shared_ptr<EventLogSnapshot::Content> mapped_;
  std::optional<platform::FileVersion> mappedVersion_;
  uint64_t generation_ = 0, reads_ = 0;
};

}  // namespace calmora::viewer
