#include "app/event_log.h"

#include "app/xml_log_index.h"
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
  std::optional<xmlindex::Index> index;
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
}  // namespace

int64_t EventLogSnapshot::count() const {
  return int64_t(content_->index ? content_->index->size() : content_->dict.size());
}

uint64_t EventLogSnapshot::generation() const { return content_->generation; }

EventRecord EventLogSnapshot::record(int64_t number) const {
  const std::string key = std::to_string(number);
  if (!content_->index) return fromTree(content_->dict[key]);
  auto it = content_->index->find(key);
  if (it == content_->index->end() || !it->second.isDict) return {};
  const auto& span = it->second;
  return xmlindex::readRecord(std::string_view(content_->bytes).substr(span.begin, span.end - span.begin));
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
    fresh->index = xmlindex::index(fresh->bytes);
    if (!fresh->index) {
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
