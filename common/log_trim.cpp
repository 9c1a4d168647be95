#include "common/log_trim.h"

#include <string>
#include <string_view>

namespace calmora::logs {

namespace {
// What comes before a record's key text in the engine's form.
constexpr std::string_view kKeyOpening = "\t<key>";
}  // namespace

size_t recordsToDrop(size_t count, size_t keep) { return keep == kKeepAll || count < keep ? 0 : count + 1 - keep; }

std::vector<xml::Edit> dropOldest(const xml::Layout& layout, size_t n) {
  std::vector<xml::Edit> edits;
  const auto& records = layout.records;
  if (n == 0 || records.empty()) return edits;
  if (n >= records.size()) {
    // Everything goes: the records' lines up to the closing tags.
    const uint64_t from = records.front().keyAt - kKeyOpening.size();
    edits.push_back(xml::Edit{from, layout.closing - from, {}});
    return edits;
  }
  edits.reserve(records.size() - n);
  // From the first key's text to the end of the first kept key's text: the
  // records that go and the kept record's old key become its new key "0".
  const auto& first = records[n];
  edits.push_back(
      xml::Edit{records.front().keyAt, first.keyAt + first.keyLength - records.front().keyAt, "0"});
  for (size_t k = n + 1; k < records.size(); ++k)
    edits.push_back(xml::Edit{records[k].keyAt, records[k].keyLength, std::to_string(k - n)});
  return edits;
}

bool dropOldest(platform::plist::Value& log, size_t n) {
  const size_t count = log.size();
  if (n == 0) return true;
  for (size_t k = 0; k < count; ++k)
    if (!log[std::to_string(k)]) return false;
  auto kept = platform::plist::Value::dict();
  for (size_t k = n; k < count; ++k) kept.set(std::to_string(k - n), log[std::to_string(k)].copy());
  log = std::move(kept);
  return true;
}

}  // namespace calmora::logs
