#include "app/event_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
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

EventLogSnapshot EventLog::current() {
  const auto now = platform::fileVersion(file_);
  std::lock_guard lock(mutex_);
  if (content_ && now == version_) return EventLogSnapshot(content_);

  auto fresh = std::make_shared<EventLogSnapshot::Content>();
  fresh->generation = ++generation_;
  std::optional<platform::FileVersion> read;
  auto fd = platform::openRegularFile(file_, platform::kMaxLogBytes);
  platform::Result<void> mapped = fd ? fresh->file.map(*fd, file_) : platform::Result<void>(fd.error());
  if (fd) {
    read = platform::fileVersion(*fd);
    ::close(*fd);
  }
  if (mapped) {
    fresh->bytes = fresh->file.bytes();
    fresh->layout = logs::xml::scan(fresh->bytes, logs::xml::Form::Plain);
    if (fresh->layout) {
      const auto& records = fresh->layout->records;
      // The usual log, keyed "0", "1", ... in order, needs no index.
      fresh->dense = true;
      char expected[24];
      for (size_t i = 0; i < records.size() && fresh->dense; ++i) {
        auto end = std::to_chars(expected, expected + sizeof expected, i).ptr;
        fresh->dense = fresh->bytes.substr(records[i].keyAt, records[i].keyLength) ==
                       std::string_view(expected, size_t(end - expected));
      }
      if (!fresh->dense) {
        fresh->index.reserve(records.size());
        for (size_t i = 0; i < records.size(); ++i)
          fresh->index.insert_or_assign(fresh->bytes.substr(records[i].keyAt, records[i].keyLength), i);
      }
    } else {
      auto parsed = platform::plist::parseDictionary(fresh->bytes);
      if (parsed.error) platform::log("CalmoDebug: ", file_.string(), " reads as an empty log: ", parsed.error->describe());
      fresh->dict = std::move(parsed.dict);
      fresh->bytes = {};
      fresh->file.reset();
    }
  } else if (mapped.error().code != platform::ErrorCode::NotFound) {
    platform::log("CalmoDebug: cannot read ", file_.string(), ": ", mapped.error().describe());
  }
  // The version read is what was mapped; one replaced since then is read
  // at the next call.
  version_ = now && read == now ? now : std::nullopt;
  content_ = std::move(fresh);
  return EventLogSnapshot(content_);
}

std::vector<std::string> newestIconTexts(const std::filesystem::path& file, size_t records, size_t tailBytes) {
  std::vector<std::string> texts;
  auto fd = platform::openRegularFile(file, platform::kMaxLogBytes);
  if (!fd) return texts;
  std::string tail(tailBytes, '\0');
  size_t got = 0;
  struct stat st {};
  if (::fstat(*fd, &st) == 0) {
    const off_t from = std::max<off_t>(0, st.st_size - off_t(tailBytes));
    while (got < tail.size()) {
      ssize_t n = ::pread(*fd, tail.data() + got, tail.size() - got, from + off_t(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += size_t(n);
    }
  }
  ::close(*fd);
  tail.resize(got);

  const std::string key = "<key>" + std::string(fields::kIconData) + "</key>";
  constexpr std::string_view kOpen = "<string>", kClose = "</string>";
  size_t before = tail.size();
  for (size_t seen = 0; seen < records && before >= key.size(); ++seen) {
    const size_t at = tail.rfind(key, before - key.size());
    if (at == std::string::npos) break;
    before = at;
    size_t open = tail.find_first_not_of(" \t\r\n", at + key.size());
    if (open == std::string::npos || tail.compare(open, kOpen.size(), kOpen) != 0) continue;
    open += kOpen.size();
    const size_t close = tail.find(kClose, open);
    if (close == std::string::npos) continue;
    std::string text = logs::xml::resolved(std::string_view(tail).substr(open, close - open));
    if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(std::move(text));
  }
  return texts;
}

}  // namespace calmora::viewer
