#include "app/event_log.h"

#include <unordered_map>

#include "common/log_xml.h"
#include "common/names.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace calmora::viewer {

namespace fields = names::record;
using platform::plist::Ref;

// The bytes of one version with the index of their records, or, for a form
// the index does not take, the file parsed whole.
struct EventLogSnapshot::Content {
  std::string bytes;
  std::optional<logs::xml::Layout> layout;
  // Key to record; a repeated key keeps its last value, as the full parse
  // keeps it.
  std::unordered_map<std::string_view, size_t> index;
  platform::plist::Value dict = platform::plist::Value::dict();
  uint64_t generation = 0;
};

namespace {
QString textOf(Ref record, std::string_view key) {
  auto text = record[key].text();
  return text ? QString::fromStdString(*text) : QString();
}

EventRecord fromTree(Ref record) {
  EventRecord r;
  if (!record.isDict()) return r;
  r.exists = true;
  r.data = textOf(record, fields::kData);
  r.date = textOf(record, fields::kDate);
  r.from = textOf(record, fields::kFrom);
  r.appBID = textOf(record, fields::kAppBID);
  r.appName = textOf(record, fields::kAppName);
  r.msg = textOf(record, fields::kMsg);
  if (auto icon = record[fields::kIconData].string()) r.iconData = std::string(*icon);
  r.isRead = record[fields::kIsRead].truthy();
  return r;
}

// The fields of a record found by the scan, read now that its row shows.
EventRecord fromLayout(std::string_view bytes, const logs::xml::Layout::Record& record) {
  using Kind = logs::xml::Field::Kind;
  EventRecord r;
  if (!record.isDict) return r;
  r.exists = true;
  r.isRead = !record.unread;
  for (const auto& f : logs::xml::fields(bytes, record)) {
    const bool isText = f.kind == Kind::String || f.kind == Kind::Integer || f.kind == Kind::Real;
    if (f.key == fields::kIconData) {
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
  return int64_t(content_->layout ? content_->index.size() : content_->dict.size());
}

uint64_t EventLogSnapshot::generation() const { return content_->generation; }

EventRecord EventLogSnapshot::record(int64_t number) const {
  const std::string key = std::to_string(number);
  if (!content_->layout) return fromTree(content_->dict[key]);
  auto it = content_->index.find(key);
  if (it == content_->index.end()) return {};
  return fromLayout(content_->bytes, content_->layout->records[it->second]);
}

EventLogSnapshot EventLog::current() {
  const auto now = platform::fileVersion(file_);
  std::lock_guard lock(mutex_);
  if (content_ && now == version_) return EventLogSnapshot(content_);

  auto fresh = std::make_shared<EventLogSnapshot::Content>();
  fresh->generation = ++generation_;
  auto bytes = platform::readFile(file_, platform::kMaxLogBytes);
  if (bytes) {
    fresh->bytes = std::move(*bytes);
    fresh->layout = logs::xml::scan(fresh->bytes, logs::xml::Form::Plain);
    if (fresh->layout) {
      const std::string_view text = fresh->bytes;
      const auto& records = fresh->layout->records;
      fresh->index.reserve(records.size());
      for (size_t i = 0; i < records.size(); ++i)
        fresh->index.insert_or_assign(text.substr(records[i].keyAt, records[i].keyLength), i);
    } else {
      auto parsed = platform::plist::parseDictionary(fresh->bytes);
      if (parsed.error) platform::log("CalmoDebug: ", file_.string(), " reads as an empty log: ", parsed.error->describe());
      fresh->dict = std::move(parsed.dict);
      fresh->bytes.clear();
      fresh->bytes.shrink_to_fit();
    }
  } else if (bytes.error().code != platform::ErrorCode::NotFound) {
    platform::log("CalmoDebug: cannot read ", file_.string(), ": ", bytes.error().describe());
  }
  // A file replaced while it was read is read again next time.
  version_ = now && platform::fileVersion(file_) == now ? now : std::nullopt;
  content_ = std::move(fresh);
  return EventLogSnapshot(content_);
}

}  // namespace calmora::viewer
