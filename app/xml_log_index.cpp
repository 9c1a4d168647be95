#include "app/xml_log_index.h"

#include <cstring>
#include <string>

#include "common/names.h"

namespace calmora::viewer::xmlindex {

namespace {

namespace fields = names::record;

class Cursor {
 public:
  explicit Cursor(std::string_view s, size_t pos = 0) : s_(s), pos_(pos) {}
  void skipSpace() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
  }
  bool take(std::string_view token) {
    skipSpace();
    if (s_.substr(pos_, token.size()) != token) return false;
    pos_ += token.size();
    return true;
  }
  // Skips "<?...?>" and "<!DOCTYPE ...>" before the root.
  bool skipProlog() {
    for (;;) {
      skipSpace();
      if (s_.substr(pos_, 2) == "<?" || s_.substr(pos_, 9) == "<!DOCTYPE") {
        size_t end = s_.find('>', pos_);
        if (end == std::string_view::npos) return false;
        pos_ = end + 1;
      } else {
        return true;
      }
    }
  }
  // The text up to `close`, which must hold no markup.
  std::optional<std::string_view> textUntil(std::string_view close) {
    size_t end = s_.find('<', pos_);
    if (end == std::string_view::npos || s_.substr(end, close.size()) != close) return std::nullopt;
    std::string_view text = s_.substr(pos_, end - pos_);
    pos_ = end + close.size();
    return text;
  }
  size_t pos() const { return pos_; }
  void seek(size_t pos) { pos_ = pos; }
  std::string_view rest() const { return s_.substr(pos_); }

 private:
  std::string_view s_;
  size_t pos_;
};

// A flat value: its element name and text; nothing for a container or
// anything this reader does not know.
struct Flat {
  std::string_view tag, text;
};
std::optional<Flat> flatValue(Cursor& c) {
  c.skipSpace();
  for (std::string_view empty : {"<true/>", "<false/>", "<string/>"})
    if (c.take(empty)) return Flat{empty.substr(1, empty.size() - 3), {}};
  for (std::string_view tag : {"string", "integer", "real", "date", "data"}) {
    std::string open = "<" + std::string(tag) + ">";
    if (!c.take(open)) continue;
    auto text = c.textUntil("</" + std::string(tag) + ">");
    if (!text) return std::nullopt;
    return Flat{tag, *text};
  }
  return std::nullopt;
}

QString unescaped(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return QString::fromUtf8(text.data(), qsizetype(text.size()));
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    size_t semi = text.find(';', i);
    std::string_view name = semi == std::string_view::npos ? std::string_view() : text.substr(i + 1, semi - i - 1);
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    bool done = false;
    for (auto [n, ch] : kNamed)
      if (name == n) out += ch, done = true;
    if (!done && name.size() > 1 && name[0] == '#') {
      bool hex = name[1] == 'x' || name[1] == 'X';
      unsigned long code = std::strtoul(std::string(name.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10);
      done = code > 0 && code <= 0x10FFFF;
      if (done) {
        char32_t ch = char32_t(code);
        out += QString::fromUcs4(&ch, 1).toStdString();
      }
    }
    if (!done) {
      out += '&';
      continue;
    }
    i = semi;
  }
  return QString::fromStdString(out);
}

}  // namespace

std::optional<Index> index(std::string_view bytes) {
  Cursor c(bytes);
  if (!c.skipProlog()) return std::nullopt;
  if (!c.take("<plist")) return std::nullopt;
  size_t open = c.rest().find('>');
  if (open == std::string_view::npos) return std::nullopt;
  c.seek(c.pos() + open + 1);
  Index index;
  if (!c.take("<dict/>")) {
    if (!c.take("<dict>")) return std::nullopt;
    while (!c.take("</dict>")) {
      if (!c.take("<key>")) return std::nullopt;
      auto key = c.textUntil("</key>");
      if (!key || key->find('&') != std::string_view::npos) return std::nullopt;
      c.skipSpace();
      Span span;
      if (c.take("<dict/>")) {
        span = {c.pos(), c.pos(), true};
      } else if (c.take("<dict>")) {
        // A record is flat: its first closing tag of a dictionary is its
        // own, and no markup but flat elements lies before it.
        size_t close = c.rest().find("</dict>");
        if (close == std::string_view::npos) return std::nullopt;
        std::string_view inner = c.rest().substr(0, close);
        for (std::string_view nested : {"<dict", "<array", "<!"})
          if (inner.find(nested) != std::string_view::npos) return std::nullopt;
        span = {c.pos(), c.pos() + close, true};
        c.seek(c.pos() + close + 7);
      } else if (!flatValue(c)) {
        return std::nullopt;
      }
      index.insert_or_assign(*key, span);
    }
  }
  if (!c.take("</plist>")) return std::nullopt;
  c.skipSpace();
  if (!c.rest().empty()) return std::nullopt;
  return index;
}

EventRecord readRecord(std::string_view inner) {
  EventRecord r;
  r.exists = true;
  Cursor c(inner);
  while (c.take("<key>")) {
    auto key = c.textUntil("</key>");
    if (!key) break;
    auto value = flatValue(c);
    if (!value) break;
    if (*key == fields::kIsRead) {
      r.isRead = value->tag == "true" ||
                 ((value->tag == "integer" || value->tag == "real") && std::strtod(std::string(value->text).c_str(), nullptr) != 0);
      continue;
    }
    if (value->tag == "true" || value->tag == "false" || value->tag == "data" || value->tag == "date") continue;
    if (*key == fields::kIconData) {
      r.iconData = value->tag == "string" ? std::string(value->text) : std::string();
      continue;
    }
    QString text = unescaped(value->text);
    if (*key == fields::kData) r.data = text;
    else if (*key == fields::kDate) r.date = text;
    else if (*key == fields::kFrom) r.from = text;
    else if (*key == fields::kAppBID) r.appBID = text;
    else if (*key == fields::kAppName) r.appName = text;
    else if (*key == fields::kMsg) r.msg = text;
  }
  return r;
}

}  // namespace calmora::viewer::xmlindex
