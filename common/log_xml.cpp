#include "common/log_xml.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

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

// The length of the character reference at the start of `at`, if it is
// one that the serialiser writes; else 0.
size_t referenceLength(std::string_view at) {
  for (std::string_view r : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
    if (at.starts_with(r)) return r.size();
  return 0;
}

class Cursor {
 public:
  explicit Cursor(Source& s) : s_(s) {}
  Source& source() { return s_; }

  bool eat(std::string_view literal) {
    if (!s_.ensure(literal.size()) || !s_.window().starts_with(literal)) return false;
    s_.advance(literal.size());
    return true;
  }

  // True when exactly `literal` is left.
  bool restIs(std::string_view literal) {
    if (s_.ensure(literal.size() + 1) || s_.failed()) return false;
    return s_.window() == literal;
  }

  // Character data up to the next '<' (only a tag holds one), which may
  // run across many chunks; every '&' must open a reference the serialiser
  // writes. The first bytes are kept in `head`, the length in `length`.
  bool text(std::string& head, uint64_t& length) {
    head.clear();
    length = 0;
    for (;;) {
      s_.ensure(6);  // room for the longest reference, where the file has it
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
        if (!lt && w.size() - at < 6) {
          // The reference may go on past the window: read on from it.
          upTo = at;
          break;
        }
        size_t len = referenceLength(w.substr(at, span - at));
        if (len == 0) return false;
        checked = at + len;
      }
      if (upTo == 0 && !lt) return false;  // the file ends inside a reference
      keep(head, length, w.substr(0, upTo));
      s_.advance(upTo);
      if (lt && upTo == span) return true;
    }
  }

 private:
  static void keep(std::string& head, uint64_t& length, std::string_view piece) {
    length += piece.size();
    if (head.size() < 32) head.append(piece.substr(0, 32 - head.size()));
  }
  Source& s_;
};

enum class Mark { False, True, Falsy };

// One "\t\t<key>NAME</key>\n\t\t<VALUE>\n" pair of lines of a record.
bool field(Cursor& c, bool& isReadField, Mark& value, uint64_t& valueAt) {
  std::string head;
  uint64_t length = 0;
  if (!c.eat("\t\t<key>") || !c.text(head, length) || !c.eat("</key>\n\t\t")) return false;
  isReadField = length == names::record::kIsRead.size() && head == names::record::kIsRead;
  valueAt = c.source().offset();
  if (c.eat(kTrue)) {
    value = Mark::True;
  } else if (c.eat(kFalse)) {
    value = Mark::False;
  } else if (c.eat("<string>")) {
    if (!c.text(head, length) || !c.eat("</string>")) return false;
    value = Mark::Falsy;
  } else if (c.eat("<string/>")) {
    value = Mark::Falsy;
  } else if (c.eat("<integer>")) {
    if (!c.text(head, length) || length > 24 || !c.eat("</integer>")) return false;
    std::string_view digits = head;
    if (digits.starts_with('-')) digits.remove_prefix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return false;
    value = digits.find_first_not_of('0') == std::string_view::npos ? Mark::Falsy : Mark::True;
  } else {
    return false;
  }
  return c.eat("\n");
}

bool record(Cursor& c, Layout::Record& r) {
  if (c.eat("\t<dict/>\n")) return true;  // no read mark: unread
  if (!c.eat("\t<dict>\n")) return false;
  bool seenMark = false;
  while (!c.eat("\t</dict>\n")) {
    bool isReadField = false;
    Mark value = Mark::Falsy;
    uint64_t valueAt = 0;
    if (!field(c, isReadField, value, valueAt)) return false;
    if (!isReadField) continue;
    // A parser keeps the last of two equal keys; not worth following here.
    if (seenMark) return false;
    seenMark = true;
    r.unread = value != Mark::True;
    if (value == Mark::False) r.falseMark = valueAt;
  }
  return true;
}

}  // namespace

Source::Source(int fd, size_t chunk) : fd_(fd), buffer_(std::max<size_t>(chunk, 1)), data_(buffer_.data()) {}

bool Source::ensure(size_t n) {
  if (len_ - pos_ >= n) return true;
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

std::optional<Layout> scan(Source& source) {
  const std::string& h = header();
  Cursor c(source);
  if (h.empty() || !c.eat(h)) return std::nullopt;
  Layout layout;
  if (c.restIs(kEmptyRoot)) {
    layout.closing = source.offset();
    layout.size = layout.closing + kEmptyRoot.size();
    layout.selfClosed = true;
    return layout;
  }
  if (!c.eat(kOpenRoot)) return std::nullopt;
  char expected[24];
  for (;;) {
    if (c.restIs(kCloseRoot)) {
      layout.closing = source.offset();
      layout.size = layout.closing + kCloseRoot.size();
      return layout;
    }
    // Keys exactly "0", "1", ... in order are dense and unique, and the
    // next key is the count.
    auto end = std::to_chars(expected, expected + sizeof expected, layout.records.size()).ptr;
    if (!c.eat("\t<key>") || !c.eat(std::string_view(expected, static_cast<size_t>(end - expected))) ||
        !c.eat("</key>\n"))
      return std::nullopt;
    Layout::Record r;
    if (!record(c, r)) return std::nullopt;
    layout.records.push_back(r);
  }
}

std::optional<Layout> scan(std::string_view bytes) {
  Source source(bytes);
  return scan(source);
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

Edit appendRecord(const Layout& layout, const RecordText& record) {
  Edit e;
  e.offset = layout.closing;
  e.length = layout.size - layout.closing;  // the closing tags, written again after the record
  if (layout.selfClosed) e.text = kOpenRoot;
  e.text += "\t<key>" + std::to_string(layout.records.size()) + "</key>\n";
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

std::string applied(std::string_view bytes, const std::vector<Edit>& edits) {
  std::string out;
  uint64_t at = 0;
  for (const auto& e : edits) {
    out.append(bytes.substr(at, e.offset - at));
    out += e.text;
    at = e.offset + e.length;
  }
  out.append(bytes.substr(std::min<uint64_t>(at, bytes.size())));
  return out;
}

}  // namespace calmora::logs::xml
