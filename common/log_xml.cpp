#include "common/log_xml.h"

#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "common/names.h"

namespace calmora::logs::xml {

namespace {

constexpr std::string_view kEmptyRoot = "<dict/>\n</plist>\n";
constexpr std::string_view kOpenRoot = "<dict>\n";
constexpr std::string_view kCloseRoot = "</dict>\n</plist>\n";
constexpr std::string_view kFalse = "<false/>";
constexpr std::string_view kTrue = "<true/>";

// The serialiser's header, taken from its own output so that the two never
// disagree.
const std::string& header() {
  static const std::string h = [] {
    std::string empty = platform::plist::toXml(platform::plist::Value::dict().ref());
    if (!empty.ends_with(kEmptyRoot)) return std::string();
    return empty.substr(0, empty.size() - kEmptyRoot.size());
  }();
  return h;
}

constexpr std::string_view kCloseDict = "</dict>";
// The longest character reference a scan takes whole: "&#x0010FFFF;".
constexpr size_t kLongestReference = 12;
// Bytes of a text kept for comparing keys and reading numbers.
constexpr size_t kHead = 32;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A code point that XML allows in a document.
bool isXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// The length of the reference at the start of `at` and what it stands for,
// or a length of 0 when it is none. Numeric references only in plain XML:
// the serialiser writes the five named ones.
size_t reference(std::string_view at, Form form, uint32_t* code = nullptr) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (auto [name, ch] : kNamed)
    if (at.starts_with(name)) {
      if (code) *code = static_cast<uint32_t>(ch);
      return name.size();
    }
  if (form != Form::Plain || !at.starts_with("&#")) return 0;
  const bool hex = at.size() > 2 && at[2] == 'x';
  const size_t digits = hex ? 3 : 2;
  const size_t semi = at.substr(0, kLongestReference).find(';');
  uint32_t value = 0;
  if (semi == std::string_view::npos || semi == digits) return 0;
  auto [end, ec] = std::from_chars(at.data() + digits, at.data() + semi, value, hex ? 16 : 10);
  if (ec != std::errc() || end != at.data() + semi || !isXmlChar(value)) return 0;
  if (code) *code = value;
  return semi + 1;
}

// Character data as a scan finds it: where it lies, and its first bytes.
struct Text {
  uint64_t at = 0, length = 0;
  std::string head;
  bool references = false;
  bool is(std::string_view s) const { return length == s.size() && head == s; }
};

using Kind = Field::Kind;

// The lexing shared by both forms. Where the engine's form fixes the
// whitespace between two tags it is named as the `gap`; plain XML takes any.
class Lexer {
 public:
  Lexer(Source& s, Form form) : s_(s), form_(form) {}
  uint64_t offset() const { return s_.offset(); }
  bool plain() const { return form_ == Form::Plain; }

  bool eat(std::string_view literal) {
    if (!s_.ensure(literal.size()) || !s_.window().starts_with(literal)) return false;
    s_.advance(literal.size());
    return true;
  }

  bool gap(std::string_view exact) {
    if (!plain()) return eat(exact);
    skipSpace();
    return true;
  }

  // The gap and then the tag, or nothing eaten but whitespace.
  bool tag(std::string_view gap, std::string_view tag) {
    if (plain()) {
      skipSpace();
      return eat(tag);
    }
    if (!s_.ensure(gap.size() + tag.size())) return false;
    std::string_view w = s_.window();
    if (!w.starts_with(gap) || !w.substr(gap.size()).starts_with(tag)) return false;
    s_.advance(gap.size() + tag.size());
    return true;
  }

  // Only the gap is left.
  bool end(std::string_view gap) {
    if (!this->gap(gap)) return false;
    return !s_.ensure(1) && !s_.failed();
  }

  // The serialiser's header; in plain XML any processing instructions and
  // document type before the "<plist ...>" tag.
  bool prolog() {
    if (!plain()) return !header().empty() && eat(header());
    for (;;) {
      skipSpace();
      if (eat("<?") || eat("<!DOCTYPE")) {
        if (!skipPast('>')) return false;
      } else {
        return eat("<plist") && skipPast('>');
      }
    }
  }

  // Character data up to the next '<' (only a tag holds one), which may
  // run across many chunks; every '&' must open a reference of the form.
  bool text(Text& t) {
    t.at = offset();
    t.length = 0;
    t.head.clear();
    t.references = false;
    for (;;) {
      s_.ensure(kLongestReference);  // room for the longest reference, where the file has it
      std::string_view w = s_.window();
      if (w.empty() || s_.failed()) return false;
      const char* lt = static_cast<const char*>(std::memchr(w.data(), '<', w.size()));
      const size_t span = lt ? static_cast<size_t>(lt - w.data()) : w.size();
      // A NUL is no character of XML, and the parser refuses it.
      if (std::memchr(w.data(), '\0', span)) return false;
      size_t upTo = span;
      size_t checked = 0;
      while (const char* amp = static_cast<const char*>(std::memchr(w.data() + checked, '&', span - checked))) {
        size_t at = static_cast<size_t>(amp - w.data());
        if (!lt && w.size() - at < kLongestReference) {
          // The reference may go on past the window: read on from it.
          upTo = at;
          break;
        }
        size_t len = reference(w.substr(at, span - at), form_);
        if (len == 0) return false;
        t.references = true;
        checked = at + len;
      }
      if (upTo == 0 && !lt) return false;  // the file ends inside a reference
      t.length += upTo;
      if (t.head.size() < kHead) t.head.append(w.substr(0, std::min(upTo, kHead - t.head.size())));
      s_.advance(upTo);
      if (lt && upTo == span) return true;
    }
  }

  // A flat value after its gap: the engine writes booleans, texts and
  // integers; plain XML may hold reals, dates and data as well.
  bool value(Kind& kind, Text& t) {
    t.at = offset();
    t.length = 0;
    t.head.clear();
    if (eat(kTrue)) {
      kind = Kind::True;
    } else if (eat(kFalse)) {
      kind = Kind::False;
    } else if (eat("<string/>")) {
      kind = Kind::String;
    } else if (eat("<string>")) {
      kind = Kind::String;
      return text(t) && eat("</string>");
    } else if (eat("<integer>")) {
      kind = Kind::Integer;
      if (!text(t) || t.length > 24 || !eat("</integer>")) return false;
      std::string_view digits = t.head;
      if (digits.starts_with('-')) digits.remove_prefix(1);
      return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
    } else if (plain() && eat("<real>")) {
      kind = Kind::Real;
      return text(t) && eat("</real>");
    } else if (plain() && eat("<date>")) {
      kind = Kind::Date;
      return text(t) && eat("</date>");
    } else if (plain() && eat("<data>")) {
      kind = Kind::Data;
      return text(t) && eat("</data>");
    } else {
      return false;
    }
    return true;
  }

  // One "<key>NAME</key> VALUE" of a record, each on its line in the
  // engine's form.
  bool field(Text& key, Kind& kind, Text& value) {
    return tag("\n\t\t", "<key>") && this->key(key) && gap("\n\t\t") && this->value(kind, value);
  }

  // A key's text and closing tag. A reference in a key would make the
  // text as written differ from the key, so that is for the full parse.
  bool key(Text& t) { return text(t) && !t.references && eat("</key>"); }

 private:
  void skipSpace() {
    while (s_.ensure(1)) {
      std::string_view w = s_.window();
      size_t n = 0;
      while (n < w.size() && isSpace(w[n])) ++n;
      s_.advance(n);
      if (n < w.size()) return;
    }
  }

  bool skipPast(char c) {
    while (s_.ensure(1)) {
      std::string_view w = s_.window();
      if (const void* at = std::memchr(w.data(), c, w.size())) {
        s_.advance(static_cast<size_t>(static_cast<const char*>(at) - w.data()) + 1);
        return true;
      }
      s_.advance(w.size());
    }
    return false;
  }

  Source& s_;
  Form form_;
};

// Whether a read mark of this kind and text marks its record read, as the
// full parse's truthiness has it; nothing for a number this scan cannot
// read.
std::optional<bool> marksRead(Kind kind, const Text& t) {
  switch (kind) {
    case Kind::True: return true;
    case Kind::Integer: return t.head.find_first_not_of("-0") != std::string::npos;
    case Kind::Real: {
      double d = 0;
      auto [end, ec] = std::from_chars(t.head.data(), t.head.data() + t.head.size(), d);
      if (t.length > kHead || ec != std::errc() || end != t.head.data() + t.head.size()) return std::nullopt;
      return d != 0.0 && !std::isnan(d);
    }
    default: return false;
  }
}

// The fields of a record after its opening tag, through its closing tag.
bool record(Lexer& c, Layout::Record& r) {
  r.begin = c.offset();
  bool seenMark = false;
  Text key, value;
  Kind kind = Kind::String;
  while (!c.tag("\n\t", kCloseDict)) {
    if (!c.field(key, kind, value)) return false;
    if (!key.is(names::record::kIsRead)) continue;
    // A parser keeps the last of two equal keys, which an edit in place
    // does not follow.
    if (seenMark && !c.plain()) return false;
    seenMark = true;
    auto read = marksRead(kind, value);
    if (!read) return false;
    r.unread = !*read;
    r.falseMark = kind == Kind::False ? value.at : Layout::kNone;
  }
  r.end = c.offset() - kCloseDict.size();
  return true;
}

// An entry of the root after its "<key>" tag: the key and its record (or
// flat value).
bool entry(Lexer& c, Text& key, Layout::Record& r) {
  if (!c.key(key)) return false;
  r.keyAt = key.at;
  r.keyLength = key.length;
  if (!c.gap("\n\t")) return false;
  if (c.eat("<dict/>")) {
    r.begin = r.end = c.offset();
    return true;
  }
  if (c.eat("<dict>")) return record(c, r);
  Text value;
  Kind kind = Kind::String;
  if (!c.plain() || !c.value(kind, value)) return false;
  r.isDict = false;
  return true;
}

}  // namespace

Source::Source(int fd, size_t chunk) : fd_(fd), buffer_(std::max<size_t>(chunk, 1)), data_(buffer_.data()) {}

bool Source::refill(size_t n) {
  if (fd_ < 0 || ended_ || failed_) return false;
  // Keep the unread tail and read after it.
  size_t tail = len_ - pos_;
  if (buffer_.size() < n) {
    std::vector<char> bigger(n);
    std::memcpy(bigger.data(), data_ + pos_, tail);
    buffer_.swap(bigger);
  } else {
    std::memmove(buffer_.data(), data_ + pos_, tail);
  }
  data_ = buffer_.data();
  base_ += pos_;
  pos_ = 0;
  len_ = tail;
  while (len_ < n) {
    ssize_t got = ::pread(fd_, buffer_.data() + len_, buffer_.size() - len_, static_cast<off_t>(readUpTo_));
    if (got < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      return false;
    }
    if (got == 0) {
      ended_ = true;
      return false;
    }
    len_ += static_cast<size_t>(got);
    readUpTo_ += static_cast<uint64_t>(got);
  }
  return true;
}

size_t Layout::unread() const {
  return static_cast<size_t>(std::count_if(records.begin(), records.end(), [](const Record& r) { return r.unread; }));
}

namespace {
// The root dictionary's tags and records, from its opening tag through its
// closing one; each record is kept in the layout, or handed to `each`.
bool dictionary(Lexer& c, Layout& layout, const RecordSink* each = nullptr) {
  if (c.tag("", "<dict/>")) {
    layout.closing = c.offset() - 7;
    layout.selfClosed = true;
    return true;
  }
  if (!c.tag("", "<dict>")) return false;
  char expected[24];
  Text key;
  for (size_t n = 0; !c.tag("\n", kCloseDict); ++n) {
    Layout::Record r;
    if (!c.tag("\n\t", "<key>") || !entry(c, key, r)) return false;
    // In the engine's form keys are exactly "0", "1", ... in order: dense
    // and unique, and the next key is the count.
    auto end = std::to_chars(expected, expected + sizeof expected, n).ptr;
    if (!c.plain() && !key.is(std::string_view(expected, static_cast<size_t>(end - expected)))) return false;
    if (!each)
      layout.records.push_back(r);
    else if (!(*each)(r))
      return false;
  }
  layout.closing = c.offset() - kCloseDict.size();
  return true;
}

// Where the value whose first tag is at or after `at` ends: its tags are
// counted, not checked, as the parser that reads the value checks them.
// npos for what only that parser takes (comments, CDATA, instructions) and
// for a value cut short.
size_t valueEnd(std::string_view bytes, size_t at) {
  int depth = 0;
  do {
    at = bytes.find('<', at);
    const size_t close = at == std::string_view::npos ? at : bytes.find('>', at);
    if (close == std::string_view::npos) return std::string_view::npos;
    const std::string_view tag = bytes.substr(at + 1, close - at - 1);
    if (tag.empty() || tag.front() == '!' || tag.front() == '?') return std::string_view::npos;
    if (tag.front() == '/')
      --depth;
    else if (tag.back() != '/')
      ++depth;
    at = close + 1;
  } while (depth > 0);
  return depth == 0 ? at : std::string_view::npos;
}

size_t skipSpace(std::string_view bytes, size_t at) {
  while (at < bytes.size() && isSpace(bytes[at])) ++at;
  return at;
}
}  // namespace

namespace {
std::optional<Layout> scanWith(Source& source, Form form, const RecordSink* each) {
  Lexer c(source, form);
  Layout layout;
  if (!c.prolog() || !dictionary(c, layout, each)) return std::nullopt;
  if (!c.tag("\n", "</plist>") || !c.end("\n")) return std::nullopt;
  layout.size = c.offset();
  return layout;
}

std::optional<Layout> scanDictionaryWith(std::string_view dict, const RecordSink* each) {
  Source source(dict);
  Lexer c(source, Form::Plain);
  Layout layout;
  if (!dictionary(c, layout, each) || !c.end("")) return std::nullopt;
  layout.size = c.offset();
  return layout;
}
}  // namespace

std::optional<Layout> scan(Source& source, Form form) { return scanWith(source, form, nullptr); }

std::optional<Layout> scan(std::string_view bytes, Form form) {
  Source source(bytes);
  return scan(source, form);
}

bool scans(std::string_view bytes, Form form) {
  Source source(bytes);
  const RecordSink any = [](const Layout::Record&) { return true; };
  return scanWith(source, form, &any).has_value();
}

std::optional<Layout> scanDictionary(std::string_view dict) { return scanDictionaryWith(dict, nullptr); }

bool scanDictionary(std::string_view dict, const RecordSink& each) {
  return scanDictionaryWith(dict, &each).has_value();
}

std::optional<std::vector<Entry>> rootEntries(std::string_view bytes) {
  Source source(bytes);
  Lexer c(source, Form::Plain);
  if (!c.prolog()) return std::nullopt;
  std::vector<Entry> entries;
  size_t at = skipSpace(bytes, static_cast<size_t>(c.offset()));
  auto eat = [&](std::string_view tag) {
    if (!bytes.substr(at).starts_with(tag)) return false;
    at = skipSpace(bytes, at + tag.size());
    return true;
  };
  if (!eat("<dict/>")) {
    if (!eat("<dict>")) return std::nullopt;
    while (!eat("</dict>")) {
      if (!bytes.substr(at).starts_with("<key>")) return std::nullopt;
      const size_t keyAt = at + 5, keyEnd = bytes.find("</key>", keyAt);
      if (keyEnd == std::string_view::npos) return std::nullopt;
      const std::string_view key = bytes.substr(keyAt, keyEnd - keyAt);
      if (key.find('<') != std::string_view::npos) return std::nullopt;
      at = skipSpace(bytes, keyEnd + 6);
      const size_t end = valueEnd(bytes, at);
      if (end == std::string_view::npos) return std::nullopt;
      entries.push_back({resolved(key), bytes.substr(at, end - at)});
      at = skipSpace(bytes, end);
    }
  }
  if (!eat("</plist>") || at != bytes.size()) return std::nullopt;
  return entries;
}

std::optional<std::string_view> rootValue(std::string_view bytes) {
  Source source(bytes);
  Lexer c(source, Form::Plain);
  if (!c.prolog()) return std::nullopt;
  const size_t at = skipSpace(bytes, static_cast<size_t>(c.offset()));
  const size_t end = valueEnd(bytes, at);
  if (end == std::string_view::npos) return std::nullopt;
  const size_t closing = skipSpace(bytes, end);
  if (!bytes.substr(closing).starts_with("</plist>") || skipSpace(bytes, closing + 8) != bytes.size())
    return std::nullopt;
  return bytes.substr(at, end - at);
}

const std::string& documentHeader() { return header(); }

std::optional<std::vector<Layout::Record>> scanNewest(std::string_view bytes, size_t count, size_t limit) {
  std::vector<Layout::Record> newest;
  newest.reserve(count);
  const size_t floor = bytes.size() > limit ? bytes.size() - limit : 0;
  // Where the entry before the ones found must end: at the next one found,
  // or, for the last, at the root's closing tags.
  uint64_t next = Layout::kNone;
  Text key;
  for (size_t before = bytes.size(); newest.size() < count && before > floor;) {
    // Text holds no '<' (only a tag does), so each one opens a tag; an
    // entry's key tag is one, a field's key tag another, which the end of
    // what follows tells apart.
    const void* lt = ::memrchr(bytes.data() + floor, '<', before - floor);
    if (!lt) break;
    before = static_cast<size_t>(static_cast<const char*>(lt) - bytes.data());
    if (!bytes.substr(before).starts_with("<key>")) continue;
    Source source(bytes);
    source.advance(before + 5);
    Lexer c(source, Form::Plain);
    Layout::Record r;
    if (!entry(c, key, r)) continue;
    const bool follows = next == Layout::kNone
                             ? c.tag("", kCloseDict) && c.tag("", "</plist>") && c.end("")
                             : c.gap("") && c.offset() == next;
    if (!follows) continue;
    newest.push_back(r);
    next = before;
  }
  if (newest.size() < count) return std::nullopt;
  return newest;
}

std::vector<Field> fields(std::string_view bytes, const Layout::Record& record) {
  std::vector<Field> out;
  if (!record.isDict || record.begin >= record.end || record.end + kCloseDict.size() > bytes.size())
    return out;
  // Through the closing tag, where the lexer stops.
  const std::string_view inner = bytes.substr(record.begin, record.end + kCloseDict.size() - record.begin);
  Source source(inner);
  Lexer c(source, Form::Plain);
  Text key, value;
  Kind kind = Kind::String;
  while (!c.tag("", kCloseDict) && c.field(key, kind, value))
    out.push_back({inner.substr(key.at, key.length), inner.substr(value.at, value.length), kind});
  return out;
}

std::string resolved(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t c = 0;
    size_t len = text[i] == '&' ? reference(text.substr(i), Form::Plain, &c) : 0;
    if (len == 0) {
      out += text[i++];
      continue;
    }
    i += len;
    const char32_t ch = c;
    out += QString::fromUcs4(&ch, 1).toStdString();
  }
  return out;
}

std::optional<RecordText> serialise(platform::plist::Ref record) {
  if (!record.isDict() || header().empty()) return std::nullopt;
  // A one-record log under the key "0"; the record's lines follow the key
  // line.
  auto log = platform::plist::Value::dict();
  log.set("0", record.copy());
  std::string xml = platform::plist::toXml(log.ref());
  const std::string prefix = header() + std::string(kOpenRoot) + "\t<key>0</key>\n";
  // Only the engine's own form, so that the log still scans afterwards.
  if (!xml.starts_with(prefix) || !xml.ends_with(kCloseRoot) || !scan(xml)) return std::nullopt;
  return RecordText{xml.substr(prefix.size(), xml.size() - prefix.size() - kCloseRoot.size())};
}

Edit appendRecord(const Layout& layout, const RecordText& record, size_t dropped) {
  Edit e;
  e.offset = layout.closing;
  e.length = layout.size - layout.closing;  // the closing tags, written again after the record
  if (layout.selfClosed) e.text = kOpenRoot;
  e.text += "\t<key>" + std::to_string(layout.records.size() - std::min(dropped, layout.records.size())) + "</key>\n";
  e.text += record.body;
  e.text += kCloseRoot;
  return e;
}

std::vector<Edit> markRead(const Layout& layout, const std::vector<size_t>& recordKeys) {
  std::vector<uint64_t> marks;
  for (size_t k : recordKeys)
    if (k < layout.records.size() && layout.records[k].falseMark != Layout::kNone)
      marks.push_back(layout.records[k].falseMark);
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  std::vector<Edit> edits;
  edits.reserve(marks.size());
  for (uint64_t at : marks) edits.push_back(Edit{at, kFalse.size(), std::string(kTrue)});
  return edits;
}

std::vector<Edit> removeRecord(const Layout& layout, size_t recordKey) {
  // An entry runs from its "\t<key>" line to the next entry's, or to the
  // root's closing tag.
  constexpr uint64_t kKeyTag = std::string_view("\t<key>").size();
  const auto& records = layout.records;
  auto entryAt = [&](size_t k) { return k < records.size() ? records[k].keyAt - kKeyTag : layout.closing; };
  std::vector<Edit> edits;
  edits.reserve(records.size() - recordKey);
  edits.push_back(Edit{entryAt(recordKey), entryAt(recordKey + 1) - entryAt(recordKey), {}});
  for (size_t k = recordKey + 1; k < records.size(); ++k)
    edits.push_back(Edit{records[k].keyAt, records[k].keyLength, std::to_string(k - 1)});
  return edits;
}

}  // namespace calmora::logs::xml
