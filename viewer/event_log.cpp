#include "viewer/event_log.h"

#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <unordered_map>

#include "common/log_xml.h"
#include "common/names.h"
#include "platform/foundation/log.h"
#include "platform/foundation/mapped_file.h"
#include "platform/foundation/plist.h"

namespace calmora::viewer {

namespace fields = names::record;
using platform::plist::Ref;

// One version's bytes with the index of their records, or, for a form the
// index does not take, the file parsed whole.
struct EventLogSnapshot::Content {
  platform::MappedFile file;
  std::string_view bytes;
  std::optional<logs::xml::Layout> layout;
  // Key to record, where the keys are not simply "0", "1", ... in file
  // order; a repeated key keeps its last value, as the full parse keeps it.
  bool dense = false;
  std::unordered_map<std::string_view, size_t> index;
  platform::plist::Value dict = platform::plist::Value::dict();
  uint64_t generation = 0;
  bool mapped = false;  // the file was there to map
};

namespace {
QString textOf(Ref record, std::string_view key) {
  auto text = record[key].text();
  return text ? QString::fromStdString(*text) : QString();
}

EventRecord fromTree(Ref record, EventLogSnapshot::Icon icon) {
  EventRecord r;
  if (!record.isDict()) return r;
  r.exists = true;
  r.data = textOf(record, fields::kData);
  r.date = textOf(record, fields::kDate);
  r.from = textOf(record, fields::kFrom);
  r.appBID = textOf(record, fields::kAppBID);
  r.appName = textOf(record, fields::kAppName);
  r.msg = textOf(record, fields::kMsg);
  if (icon == EventLogSnapshot::Icon::Read)
    if (auto text = record[fields::kIconData].string()) r.iconData = std::string(*text);
  r.isRead = record[fields::kIsRead].truthy();
  return r;
}

// The fields of a record found by the scan, read now that its row shows.
EventRecord fromLayout(std::string_view bytes, const logs::xml::Layout::Record& record, EventLogSnapshot::Icon icon) {
  using Kind = logs::xml::Field::Kind;
  EventRecord r;
  if (!record.isDict) return r;
  r.exists = true;
  r.isRead = !record.unread;
  for (const auto& f : logs::xml::fields(bytes, record)) {
    const bool isText = f.kind == Kind::String || f.kind == Kind::Integer || f.kind == Kind::Real;
    if (f.key == fields::kIconData) {
      if (icon == EventLogSnapshot::Icon::Read)
        r.iconData = f.kind == Kind::String ? logs::xml::resolved(f.text) : std::string();
      continue;
    }
    QString* field = f.key == fields::kData      ? &r.data
                     : f.key == fields::kDate    ? &r.date
                     : f.key == fields::kFrom    ? &r.from
                     : f.key == fields::kAppBID  ? &r.appBID
                     : f.key == fields::kAppName ? &r.appName
                     : f.key == fields::kMsg     ? &r.msg
                                                 : nullptr;
    if (field) *field = isText ? QString::fromStdString(logs::xml::resolved(f.text)) : QString();
  }
  return r;
}
}  // namespace

int64_t EventLogSnapshot::count() const {
  if (!content_->layout) return int64_t(content_->dict.size());
  return int64_t(content_->dense ? content_->layout->records.size() : content_->index.size());
}

uint64_t EventLogSnapshot::generation() const { return content_->generation; }

EventRecord EventLogSnapshot::record(int64_t number, Icon icon) const {
  const std::string key = std::to_string(number);
  if (!content_->layout) return fromTree(content_->dict[key], icon);
  const auto& records = content_->layout->records;
  if (content_->dense) return number >= 0 && size_t(number) < records.size() ? fromLayout(content_->bytes, records[size_t(number)], icon) : EventRecord();
  auto it = content_->index.find(key);
  if (it == content_->index.end()) return {};
  return fromLayout(content_->bytes, records[it->second], icon);
}

std::string EventLogSnapshot::searchText(int64_t number) const {
  using Kind = logs::xml::Field::Kind;
  static constexpr std::string_view kSearched[] = {fields::kFrom, fields::kData, fields::kMsg, fields::kAppName};
  std::string out;
  const std::string key = std::to_string(number);
  const logs::xml::Layout::Record* record = nullptr;
  if (content_->layout) {
    const auto& records = content_->layout->records;
    if (content_->dense && number >= 0 && size_t(number) < records.size()) {
      record = &records[size_t(number)];
    } else if (!content_->dense) {
      auto it = content_->index.find(key);
      if (it != content_->index.end()) record = &records[it->second];
    }
    if (!record || !record->isDict) return out;
  }
  if (!record) {
    for (std::string_view name : kSearched) out += content_->dict[key][name].text().value_or(std::string()) + '\x1f';
    return out;
  }
  const auto found = logs::xml::fields(content_->bytes, *record);
  for (std::string_view name : kSearched) {
    // The last of a repeated field counts, as for the rows.
    for (auto f = found.rbegin(); f != found.rend(); ++f)
      if (f->key == name) {
        if (f->kind == Kind::String || f->kind == Kind::Integer || f->kind == Kind::Real)
          out += logs::xml::resolved(f->text);
        break;
      }
    out += '\x1f';
  }
  return out;
}

namespace {
// The newest records a list's first screen may show are well inside this
// many of the log's last bytes.
constexpr size_t kTailLimit = 4 << 20;

// Maps the file as it is now into `c` (nothing when it is absent or
// unreadable, which is logged unless `quiet`); answers the version mapped.
std::optional<platform::FileVersion> mapInto(EventLogSnapshot::Content& c, const std::filesystem::path& file,
                                             platform::MappedFile::Pages pages, bool quiet = false) {
  std::optional<platform::FileVersion> read;
  auto fd = platform::openRegularFile(file, platform::kMaxLogBytes);
  platform::Result<void> mapped = fd ? c.file.map(*fd, file, pages) : platform::Result<void>(fd.error());
  if (fd) {
    read = platform::fileVersion(*fd);
    ::close(*fd);
  }
  if (mapped) {
    c.mapped = true;
    c.bytes = c.file.bytes();
  } else if (!quiet && mapped.error().code != platform::ErrorCode::NotFound) {
    platform::log("CalmoDebug: cannot read ", file.string(), ": ", mapped.error().describe());
  }
  return read;
}

// Indexes what was mapped, or parses it whole where the index does not take
// its form.
void index(EventLogSnapshot::Content& c, const std::filesystem::path& file) {
  if (!c.mapped) return;
  c.layout = logs::xml::scan(c.bytes, logs::xml::Form::Plain);
  if (!c.layout) {
    auto parsed = platform::plist::parseDictionary(c.bytes);
    if (parsed.error) platform::log("CalmoDebug: ", file.string(), " reads as an empty log: ", parsed.error->describe());
    c.dict = std::move(parsed.dict);
    c.bytes = {};
    c.file.reset();
    return;
  }
  const auto& records = c.layout->records;
  // The usual log, keyed "0", "1", ... in order, needs no index.
  c.dense = true;
  char expected[24];
  for (size_t i = 0; i < records.size() && c.dense; ++i) {
    auto end = std::to_chars(expected, expected + sizeof expected, i).ptr;
    c.dense = c.bytes.substr(records[i].keyAt, records[i].keyLength) == std::string_view(expected, size_t(end - expected));
  }
  if (!c.dense) {
    c.index.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i)
      c.index.insert_or_assign(c.bytes.substr(records[i].keyAt, records[i].keyLength), i);
  }
}

// The number a key spells in its usual decimal form; nothing for any other.
std::optional<uint64_t> numberOf(std::string_view key) {
  uint64_t n = 0;
  auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), n);
  if (ec != std::errc() || end != key.data() + key.size() || (key.size() > 1 && key[0] == '0')) return std::nullopt;
  return n;
}
}  // namespace

EventLogSnapshot EventLog::current() {
  const auto now = platform::fileVersion(file_);
  std::lock_guard lock(mutex_);
  if (content_ && now == version_) return EventLogSnapshot(content_);

  std::shared_ptr<EventLogSnapshot::Content> fresh;
  std::optional<platform::FileVersion> read;
  if (mapped_ && now && mappedVersion_ == now) {
    fresh = std::move(mapped_);
    read = mappedVersion_;
    fresh->file.populate();
  } else {
    fresh = std::make_shared<EventLogSnapshot::Content>();
    fresh->generation = ++generation_;
    read = mapInto(*fresh, file_, platform::MappedFile::Pages::Now);
  }
  mapped_.reset();
  ++reads_;
  index(*fresh, file_);
  // The version read is what was mapped; one replaced since then is read
  // at the next call.
  version_ = now && read == now ? now : std::nullopt;
  content_ = std::move(fresh);
  return EventLogSnapshot(content_);
}

std::optional<EventLogTail> EventLog::newest(size_t records) {
  const auto now = platform::fileVersion(file_);
  std::lock_guard lock(mutex_);
  if (!now || (content_ && now == version_)) return std::nullopt;
  auto fresh = std::make_shared<EventLogSnapshot::Content>();
  // Its pages are entered as the index reads them; the few read here, now.
  const auto read = mapInto(*fresh, file_, platform::MappedFile::Pages::Later, true);
  if (!fresh->mapped || read != now) return std::nullopt;
  fresh->generation = ++generation_;
  mapped_ = fresh;
  mappedVersion_ = read;

  auto found = logs::xml::scanNewest(fresh->bytes, records, kTailLimit);
  if (!found || found->empty()) return std::nullopt;
  const auto top = numberOf(fresh->bytes.substr(found->front().keyAt, found->front().keyLength));
  if (!top || *top + 1 < found->size() || *top >= uint64_t(INT64_MAX)) return std::nullopt;
  EventLogTail tail;
  tail.count = int64_t(*top) + 1;
  tail.generation = fresh->generation;
  for (size_t i = 0; i < found->size(); ++i) {
    const auto& r = (*found)[i];
    if (numberOf(fresh->bytes.substr(r.keyAt, r.keyLength)) != *top - i) return std::nullopt;
    tail.records.push_back(fromLayout(fresh->bytes, r, EventLogSnapshot::Icon::Read));
  }
  return tail;
}

}  // namespace calmora::viewer
