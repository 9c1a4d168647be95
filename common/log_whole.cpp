#include "common/log_whole.h"

#include <charconv>
#include <optional>
#include <vector>

#include "common/log_xml.h"
#include "platform/foundation/plist.h"

namespace calmora::logs {

namespace plist = platform::plist;

namespace {

using Failure = platform::Result<WholeLog, std::string>;

std::string_view tagOf(xml::Field::Kind kind) {
  switch (kind) {
    case xml::Field::Kind::String: return "string";
    case xml::Field::Kind::Integer: return "integer";
    default: return {};
  }
}

// The record's lines in the engine's form after its key line; false for a
// field the engine's form does not hold (a real, date or data, a key given
// twice), which leaves the log to the full parse.
bool appendRecord(std::string& out, std::string_view dict, const xml::Layout::Record& record) {
  const std::vector<xml::Field> fields = xml::fields(dict, record);
  if (fields.empty()) {
    out += "\t<dict/>\n";
    return true;
  }
  out += "\t<dict>\n";
  for (size_t i = 0; i < fields.size(); ++i) {
    const xml::Field& f = fields[i];
    for (size_t j = 0; j < i; ++j)
      if (fields[j].key == f.key) return false;
    out.append("\t\t<key>").append(f.key).append("</key>\n\t\t");
    if (f.kind == xml::Field::Kind::True || f.kind == xml::Field::Kind::False) {
      out += f.kind == xml::Field::Kind::True ? "<true/>\n" : "<false/>\n";
      continue;
    }
    const std::string_view tag = tagOf(f.kind);
    if (tag.empty()) return false;
    out.append("<").append(tag).append(">").append(f.text).append("</").append(tag).append(">\n");
  }
  out += "\t</dict>\n";
  return true;
}

// A record's key: decimal digits without a leading zero, below `count`.
std::optional<size_t> keyIndex(std::string_view key, size_t count) {
  if (key.empty() || (key.size() > 1 && key.front() == '0')) return std::nullopt;
  size_t index = 0;
  auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), index);
  if (ec != std::errc() || end != key.data() + key.size() || index >= count) return std::nullopt;
  return index;
}

std::string keysAreNot(size_t count) {
  return count == 0 ? "its keys are not records' keys" : "its keys are not 0 to " + std::to_string(count - 1);
}

// The log file, when it is within the limit its readers take.
Failure sized(std::string bytes, size_t records) {
  if (bytes.size() > platform::kMaxLogBytes) return std::string("it would be larger than 512 MB, which no reader takes");
  return WholeLog{std::move(bytes), records};
}

// The file from the records in key order, checked by the engine's scan;
// nothing when a record holds what only the full parse reads.
std::optional<Failure> engineForm(std::string out, size_t count) {
  out += count == 0 ? "<dict/>\n</plist>\n" : "</dict>\n</plist>\n";
  if (!xml::scans(out)) return std::nullopt;
  return sized(std::move(out), count);
}

bool appendKeyed(std::string& out, size_t key, std::string_view dict, const xml::Layout::Record& record) {
  if (key == 0) out += "<dict>\n";
  out.append("\t<key>").append(std::to_string(key)).append("</key>\n");
  return appendRecord(out, dict, record);
}

// Records written as they are scanned, for a log whose keys come in order,
// as every writer gives them: the file is the only copy held.
std::optional<Failure> inOrder(std::string_view dict, bool& outOfOrder) {
  std::string out = xml::documentHeader();
  out.reserve(out.size() + dict.size() + dict.size() / 8);
  size_t count = 0;
  std::optional<Failure> refused;
  const bool scanned = xml::scanDictionary(dict, [&](const xml::Layout::Record& r) {
    const std::string_view key = dict.substr(r.keyAt, r.keyLength);
    if (!r.isDict) refused = Failure("the entry under \"" + std::string(key) + "\" is no record");
    if (refused || keyIndex(key, count + 1) != count) return false;
    if (!appendKeyed(out, count, dict, r)) return false;
    ++count;
    return true;
  });
  if (refused) return refused;
  if (!scanned) {
    outOfOrder = true;
    return std::nullopt;
  }
  return engineForm(std::move(out), count);
}

// Any order: the records' places are kept, then written by key.
std::optional<Failure> anyOrder(std::string_view dict) {
  auto layout = xml::scanDictionary(dict);
  if (!layout) return std::nullopt;
  const auto& records = layout->records;
  // Which record each key names; a key given twice keeps its last record,
  // as the parse keeps it.
  std::vector<size_t> at(records.size(), SIZE_MAX);
  size_t repeated = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string_view key = dict.substr(records[i].keyAt, records[i].keyLength);
    if (!records[i].isDict) return Failure("the entry under \"" + std::string(key) + "\" is no record");
    auto index = keyIndex(key, records.size());
    if (!index) return Failure(keysAreNot(records.size()));
    if (at[*index] != SIZE_MAX) ++repeated;
    at[*index] = i;
  }
  const size_t count = records.size() - repeated;
  for (size_t k = 0; k < records.size(); ++k)
    if ((at[k] != SIZE_MAX) != (k < count)) return Failure(keysAreNot(count));
  std::string out = xml::documentHeader();
  for (size_t k = 0; k < count; ++k)
    if (!appendKeyed(out, k, dict, records[at[k]])) return std::nullopt;
  return engineForm(std::move(out), count);
}

// Anything else the parser takes: nested values in records, reals, dates.
Failure byParse(std::string_view dict) {
  auto read = plist::parseDictionary("<plist version=\"1.0\">" + std::string(dict) + "</plist>");
  if (read.state != plist::ReadState::Ok) return std::string("it does not parse (") + plist::describeRead(read) + ")";
  const plist::Ref log = read.dict.ref();
  std::optional<std::string> problem;
  log.forEach([&](std::string_view key, plist::Ref record) {
    if (!record.isDict()) problem = "the entry under \"" + std::string(key) + "\" is no record";
    return !problem;
  });
  if (problem) return *problem;
  for (size_t k = 0; k < log.size(); ++k)
    if (!log[std::to_string(k)]) return keysAreNot(log.size());
  std::string bytes = plist::toXml(log);
  if (plist::parseDictionary(bytes).state != plist::ReadState::Ok) return std::string("it does not read back");
  return sized(std::move(bytes), log.size());
}

}  // namespace

platform::Result<WholeLog, std::string> validate(std::string_view dict) {
  if (!dict.starts_with("<dict")) return std::string("it is no dictionary");
  bool outOfOrder = false;
  if (auto scanned = inOrder(dict, outOfOrder)) return std::move(*scanned);
  if (auto scanned = outOfOrder ? anyOrder(dict) : std::nullopt) return std::move(*scanned);
  return byParse(dict);
}

platform::Result<platform::Replacement> replaceWhole(Log log, const WholeLog& whole) {
  return platform::Replacement::prepare(logPath(log), whole.bytes);
}

}  // namespace calmora::logs
