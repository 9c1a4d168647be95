#include "platform/foundation/plist.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"

namespace platform::plist {

// ---------------------------------------------------------------- Ref

std::optional<int64_t> decimalValue(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i >= s.size() || s[i] < '0' || s[i] > '9') return std::nullopt;
  int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    int digit = s[i] - '0';
    if (v > (std::numeric_limits<int64_t>::max() - digit) / 10)
      return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    v = v * 10 + digit;
  }
  return negative ? -v : v;
}

Type Ref::type() const {
  if (!node_) return Type::None;
  switch (plist_get_node_type(node_)) {
    case PLIST_BOOLEAN: return Type::Bool;
    case PLIST_UINT: return Type::Integer;
    case PLIST_REAL: return Type::Real;
    case PLIST_STRING: return Type::String;
    case PLIST_DATA: return Type::Data;
    case PLIST_DATE: return Type::Date;
    case PLIST_DICT: return Type::Dict;
    case PLIST_ARRAY: return Type::Array;
    default: return Type::Other;
  }
}

Ref Ref::operator[](std::string_view key) const {
  if (!isDict()) return {};
  // libplist wants a NUL-terminated key; small keys stay on the stack.
  char small[128];
  if (key.size() < sizeof small) {
    std::memcpy(small, key.data(), key.size());
    small[key.size()] = '\0';
    return Ref(plist_dict_get_item(node_, small));
  }
  std::string k(key);
  return Ref(plist_dict_get_item(node_, k.c_str()));
}

size_t Ref::size() const {
  switch (type()) {
    case Type::Dict: return plist_dict_get_size(node_);
    case Type::Array: return plist_array_get_size(node_);
    default: return 0;
  }
}

Ref::Iter::~Iter() { std::free(it); }

void Ref::beginIter(Iter& it) const {
  plist_dict_iter raw = nullptr;
  plist_dict_new_iter(node_, &raw);
  it.it = raw;
}

bool Ref::next(Iter& it, std::string_view& key, Ref& value) const {
  char* k = nullptr;
  plist_t v = nullptr;
  plist_dict_next_item(node_, static_cast<plist_dict_iter>(it.it), &k, &v);
  if (!k) return false;
  it.key.assign(k);
  std::free(k);
  key = it.key;
  value = Ref(v);
  return true;
}

std::vector<std::string> Ref::keys() const {
  std::vector<std::string> out;
  out.reserve(size());
  forEach([&](std::string_view k, Ref) {
    out.emplace_back(k);
    return true;
  });
  return out;
}

bool Ref::truthy() const {
  switch (type()) {
    case Type::Bool: {
      uint8_t b = 0;
      plist_get_bool_val(node_, &b);
      return b != 0;
    }
    case Type::Integer: {
      uint64_t n = 0;
      plist_get_uint_val(node_, &n);
      return n != 0;
    }
    case Type::Real: {
      double d = 0;
      plist_get_real_val(node_, &d);
      return d != 0.0 && !std::isnan(d);
    }
    default: return false;
  }
}

std::optional<std::string_view> Ref::string() const {
  if (type() != Type::String) return std::nullopt;
  uint64_t len = 0;
  const char* p = plist_get_string_ptr(node_, &len);
  if (!p) return std::nullopt;
  return std::string_view(p, len);
}

std::optional<int64_t> Ref::integer() const {
  switch (type()) {
    case Type::Integer: {
      uint64_t n = 0;
      plist_get_uint_val(node_, &n);
      return static_cast<int64_t>(n);  // libplist keeps negative numbers in two's complement
    }
    case Type::Real: {
      double d = 0;
      plist_get_real_val(node_, &d);
      if (std::isnan(d)) return std::nullopt;
      if (d >= 9.2e18) return std::numeric_limits<int64_t>::max();
      if (d <= -9.2e18) return std::numeric_limits<int64_t>::min();
      return static_cast<int64_t>(d);
    }
    case Type::Bool: return truthy() ? 1 : 0;
    case Type::String: return decimalValue(*string());
    default: return std::nullopt;
  }
}

std::optional<double> Ref::real() const {
  if (type() == Type::Real) {
    double d = 0;
    plist_get_real_val(node_, &d);
    return d;
  }
  if (auto i = integer()) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<std::string> Ref::text() const {
  switch (type()) {
    case Type::String: return std::string(*string());
    case Type::Integer: return std::to_string(*integer());
    case Type::Real: {
      double d = *real();
      if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
        return std::to_string(static_cast<int64_t>(d));
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g", d);
      return std::string(buf);
    }
    default: return std::nullopt;
  }
}

Ref Ref::at(size_t index) const {
  if (type() != Type::Array || index >= size()) return {};
  return Ref(plist_array_get_item(node_, static_cast<uint32_t>(index)));
}

Value Ref::copy() const { return node_ ? Value(plist_copy(node_)) : Value(); }

// ---------------------------------------------------------------- Value

Value& Value::operator=(Value&& other) noexcept {
  if (this != &other) {
    if (node_) plist_free(node_);
    node_ = other.release();
  }
  return *this;
}

Value::~Value() {
  if (node_) plist_free(node_);
}

plist_t Value::release() {
  plist_t n = node_;
  node_ = nullptr;
  return n;
}

Value Value::dict() { return Value(plist_new_dict()); }
Value Value::array() { return Value(plist_new_array()); }
Value Value::string(std::string_view text) { return Value(plist_new_string(std::string(text).c_str())); }
Value Value::boolean(bool b) { return Value(plist_new_bool(b ? 1 : 0)); }
Value Value::integer(int64_t n) { return Value(plist_new_uint(static_cast<uint64_t>(n))); }
Value Value::real(double d) { return Value(plist_new_real(d)); }

void setItem(Ref dict, std::string_view key, Value item) {
  if (!dict.isDict() || !item) return;
  plist_dict_set_item(dict.raw(), std::string(key).c_str(), item.release());
}

void Value::set(std::string_view key, Value item) { setItem(ref(), key, std::move(item)); }

void Value::append(Value item) {
  if (ref().type() == Type::Array && item) plist_array_append_item(node_, item.release());
}

void Value::remove(std::string_view key) {
  if (!isDict()) return;
  std::string k(key);
  if (plist_dict_get_item(node_, k.c_str())) plist_dict_remove_item(node_, k.c_str());
}

// ---------------------------------------------------------------- shape checks
//
// libplist 2.2 recurses once per nesting level when it parses, copies, writes
// and frees a tree, expands a binary object once per reference to it, and
// asserts on a text or key holding a NUL. These checks look at the bytes
// before it does, and refuse what it could not survive.

namespace {

constexpr size_t npos = std::string_view::npos;

// An upper bound of the nesting the XML parser would build. Every opening
// tag counts, even inside comments; a closing tag counts only where no
// reading of the text puts it inside a comment, CDATA or declaration, so a
// file the parser reads in some other way than expected is refused sooner,
// never later.
class XmlShape {
 public:
  explicit XmlShape(std::string_view s) : s_(s), budget_(s.size() * 16 + (1 << 20)) {}
  std::string problem();

 private:
  // Position just past the first `marker` at or after `from`, the end of
  // the text when there is none. With `quotes`, double-quoted text is
  // passed over, as the parser passes over it inside declarations.
  size_t pastMarker(size_t from, std::string_view marker, bool quotes);
  // The later of the two readings.
  size_t regionEnd(size_t from, std::string_view marker) {
    return std::max(pastMarker(from, marker, false), pastMarker(from, marker, true));
  }
  // "array", "dict" or "plist" as a whole tag name at `at`.
  bool containerName(size_t at) const;
  // An empty container ("<dict/>"), read the same whether or not a quote
  // inside the tag is taken as one.
  bool selfClosing(size_t tagAt);

  std::string_view s_;
  // Scans that run far ahead of the position, and so could add up to a
  // square of the length, have this much work between them.
  size_t budget_;
};

size_t XmlShape::pastMarker(size_t from, std::string_view marker, bool quotes) {
  for (size_t i = from; i < s_.size(); ++i) {
    if (budget_ == 0) return s_.size();
    --budget_;
    if (quotes && s_[i] == '"') {
      size_t close = s_.find('"', i + 1);
      budget_ -= std::min(budget_, (close == npos ? s_.size() : close) - i);
      if (close == npos) return s_.size();
      i = close;
      continue;
    }
    if (s_.compare(i, marker.size(), marker) == 0) return i + marker.size();
  }
  return s_.size();
}

bool XmlShape::containerName(size_t at) const {
  for (std::string_view name : {"array", "dict", "plist"}) {
    if (s_.compare(at, name.size(), name) != 0) continue;
    size_t after = at + name.size();
    if (after >= s_.size()) return false;
    char c = s_[after];
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
  }
  return false;
}

bool XmlShape::selfClosing(size_t tagAt) {
  size_t end = pastMarker(tagAt, ">", false);
  if (end > s_.size() || end < 2 || s_[end - 1] != '>' || s_[end - 2] != '/') return false;
  // With a quote inside the tag the parser may find another end.
  return s_.substr(tagAt, end - tagAt).find('"') == npos;
}

std::string XmlShape::problem() {
  if (s_.find('\0') != npos) return "an XML plist holding a NUL byte";
  int depth = 0;
  size_t quietUntil = 0;  // closing tags before this position do not count
  for (size_t i = s_.find('<'); i != npos; i = s_.find('<', i + 1)) {
    std::string_view rest = s_.substr(i + 1);
    if (rest.starts_with("!--")) {
      quietUntil = std::max(quietUntil, pastMarker(i + 4, "-->", false));
    } else if (rest.starts_with("![CDATA[")) {
      quietUntil = std::max(quietUntil, pastMarker(i + 9, "]]>", false));
    } else if (rest.starts_with("?")) {
      quietUntil = std::max(quietUntil, regionEnd(i + 2, "?>"));
    } else if (rest.starts_with("!")) {
      size_t end = regionEnd(i + 2, ">");
      size_t bracket = s_.find('[', i + 2);
      if (bracket != npos && bracket < end) end = std::max(end, regionEnd(pastMarker(bracket, "]", false), ">"));
      quietUntil = std::max(quietUntil, end);
    } else if (rest.starts_with("/")) {
      if (i >= quietUntil && depth > 0 && containerName(i + 2)) --depth;
    } else if (containerName(i + 1) && !selfClosing(i)) {
      if (++depth > kMaxNesting) return "a plist nested deeper than " + std::to_string(kMaxNesting) + " levels";
    }
    if (budget_ == 0) return "an XML plist too irregular to check";
  }
  return {};
}

// The object graph of a binary plist (format "bplist00"), walked once with
// every object's depth and expanded size remembered, so that shared
// objects cost nothing more however often they are referenced.
class BinaryShape {
 public:
  explicit BinaryShape(std::string_view s) : s_(s) {}
  std::string problem();

 private:
  struct Frame {
    uint64_t object;
    size_t refAt;
    uint64_t refsLeft;
    uint16_t childDepth = 0;
    uint32_t nodes = 1;
  };
  std::optional<uint64_t> number(size_t at, size_t width) const;
  std::optional<size_t> objectAt(uint64_t index) const;
  // The item count of a sized object and where its content starts; nothing
  // when the parser would reject the object's header.
  std::optional<std::pair<uint64_t, size_t>> sized(size_t at) const;
  // A count written wider than 8 bytes, which readers take apart in
  // different ways.
  bool wideCount(size_t at) const;
  std::string leafProblem(size_t at) const;
  void finish(std::vector<Frame>& stack);

  std::string_view s_;
  size_t offsetSize_ = 0, refSize_ = 0, tableAt_ = 0;
  uint64_t objects_ = 0;
  std::vector<uint8_t> state_;  // 0 unseen, 1 on the path being walked, 2 done
  std::vector<uint16_t> depth_;
  std::vector<uint32_t> nodes_;  // saturates just past the limit
};

std::optional<uint64_t> BinaryShape::number(size_t at, size_t width) const {
  if (width == 0 || width > 8 || at > s_.size() || s_.size() - at < width) return std::nullopt;
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v = (v << 8) | static_cast<uint8_t>(s_[at + i]);
  return v;
}

std::optional<size_t> BinaryShape::objectAt(uint64_t index) const {
  if (index >= objects_) return std::nullopt;
  auto offset = number(tableAt_ + index * offsetSize_, offsetSize_);
  if (!offset || *offset < 8 || *offset >= tableAt_) return std::nullopt;
  return static_cast<size_t>(*offset);
}

std::optional<std::pair<uint64_t, size_t>> BinaryShape::sized(size_t at) const {
  uint64_t count = static_cast<uint8_t>(s_[at]) & 0x0F;
  size_t content = at + 1;
  if (count == 0x0F) {
    if (content >= tableAt_ || (static_cast<uint8_t>(s_[content]) & 0xF0) != 0x10) return std::nullopt;
    size_t width = size_t{1} << (static_cast<uint8_t>(s_[content]) & 0x0F);
    auto n = number(content + 1, width);
    if (!n) return std::nullopt;
    count = *n;
    content += 1 + width;
  }
  return std::pair{count, content};
}

bool BinaryShape::wideCount(size_t at) const {
  return (static_cast<uint8_t>(s_[at]) & 0x0F) == 0x0F && at + 1 < tableAt_ &&
         (static_cast<uint8_t>(s_[at + 1]) & 0xF0) == 0x10 && (static_cast<uint8_t>(s_[at + 1]) & 0x0F) > 3;
}

std::string BinaryShape::leafProblem(size_t at) const {
  uint8_t kind = static_cast<uint8_t>(s_[at]) >> 4;
  if (kind != 0x5 && kind != 0x6) return {};
  auto size = sized(at);
  if (!size) return {};
  auto [count, content] = *size;
  uint64_t bytes = kind == 0x6 ? count * 2 : count;
  if ((kind == 0x6 && count > (uint64_t{1} << 62)) || content > tableAt_ || bytes > tableAt_ - content) return {};
  std::string_view text = s_.substr(content, bytes);
  if (kind == 0x5 && text.find('\0') != npos) return "a text or key holding a NUL character";
  for (size_t i = 0; kind == 0x6 && i + 1 < text.size(); i += 2)
    if (text[i] == 0 && text[i + 1] == 0) return "a text or key holding a NUL character";
  return {};
}

void BinaryShape::finish(std::vector<Frame>& stack) {
  Frame done = stack.back();
  stack.pop_back();
  state_[done.object] = 2;
  depth_[done.object] = static_cast<uint16_t>(done.childDepth + 1);
  nodes_[done.object] = done.nodes;
  if (!stack.empty()) {
    Frame& parent = stack.back();
    parent.childDepth = std::max(parent.childDepth, depth_[done.object]);
    parent.nodes = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{parent.nodes} + done.nodes, kMaxBinaryNodes + 1));
  }
}

std::string BinaryShape::problem() {
  if (s_.size() < 8 + 32) return {};  // the parser rejects it
  size_t trailer = s_.size() - 32;
  offsetSize_ = static_cast<uint8_t>(s_[trailer + 6]);
  refSize_ = static_cast<uint8_t>(s_[trailer + 7]);
  objects_ = *number(trailer + 8, 8);
  uint64_t root = *number(trailer + 16, 8);
  uint64_t table = *number(trailer + 24, 8);
  if (offsetSize_ == 0 || refSize_ == 0 || objects_ == 0 || root >= objects_ || table < 8 || table >= trailer ||
      objects_ > (trailer - table) / offsetSize_)
    return {};  // the parser rejects all of these
  // Wider numbers than 8 bytes are read differently by different readers.
  if (offsetSize_ > 8 || refSize_ > 8) return "a binary plist with references wider than 8 bytes";
  tableAt_ = static_cast<size_t>(table);
  state_.assign(objects_, 0);
  depth_.assign(objects_, 0);
  nodes_.assign(objects_, 0);

  std::vector<Frame> stack;
  auto visit = [&](uint64_t index) -> std::string {
    auto at = objectAt(index);
    if (!at) return {};
    if (state_[index] == 1) return "a binary plist whose objects refer to each other in a cycle";
    if (state_[index] == 2) {
      if (!stack.empty()) {
        Frame& parent = stack.back();
        parent.childDepth = std::max(parent.childDepth, depth_[index]);
        parent.nodes = static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t{parent.nodes} + nodes_[index], kMaxBinaryNodes + 1));
      }
      return {};
    }
    uint8_t kind = static_cast<uint8_t>(s_[*at]) >> 4;
    if (kind == 0xA || kind == 0xC || kind == 0xD) {
      if (wideCount(*at)) return "a binary plist with a count wider than 8 bytes";
      auto size = sized(*at);
      if (stack.size() + 1 >= static_cast<size_t>(kMaxNesting))
        return "a plist nested deeper than " + std::to_string(kMaxNesting) + " levels";
      uint64_t refs = size ? size->first : 0;
      if (kind == 0xD) refs = refs > UINT64_MAX / 2 ? UINT64_MAX : refs * 2;
      state_[index] = 1;
      stack.push_back(Frame{index, size ? size->second : tableAt_, refs});
      return {};
    }
    if (auto p = leafProblem(*at); !p.empty()) return p;
    state_[index] = 2;
    depth_[index] = 1;
    nodes_[index] = 1;
    if (!stack.empty()) {
      Frame& parent = stack.back();
      parent.childDepth = std::max<uint16_t>(parent.childDepth, 1);
      parent.nodes = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{parent.nodes} + 1, kMaxBinaryNodes + 1));
    }
    return {};
  };

  if (auto p = visit(root); !p.empty()) return p;
  while (!stack.empty()) {
    Frame& top = stack.back();
    // The parser stops at the first reference that lies outside the
    // object area; everything before it has been expanded by then.
    auto ref = top.refsLeft > 0 && top.refAt + refSize_ <= tableAt_ ? number(top.refAt, refSize_) : std::nullopt;
    if (!ref) {
      finish(stack);
      continue;
    }
    top.refAt += refSize_;
    --top.refsLeft;
    if (auto p = visit(*ref); !p.empty()) return p;
  }
  if (nodes_[root] > kMaxBinaryNodes)
    return "a binary plist expanding to more than " + std::to_string(kMaxBinaryNodes) + " nodes";
  return {};
}

std::string shapeProblem(std::string_view bytes) {
  if (bytes.starts_with("bplist00")) return BinaryShape(bytes).problem();
  if (bytes.starts_with("bplist")) return {};  // other versions: the parser rejects them
  return XmlShape(bytes).problem();
}

// ---------------------------------------------------------------- shape checks after parsing

// A string whose recorded length runs past its first NUL; the checks above
// should leave none, and libplist would assert on it.
bool holdsCutText(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      uint64_t len = 0;
      const char* p = plist_get_string_ptr(node, &len);
      return p && std::strlen(p) != len;
    }
    case PLIST_ARRAY: {
      uint32_t n = plist_array_get_size(node);
      for (uint32_t i = 0; i < n; ++i)
        if (holdsCutText(plist_array_get_item(node, i))) return true;
      return false;
    }
    case PLIST_DICT: {
      bool cut = false;
      Ref(node).forEach([&](std::string_view, Ref value) {
        cut = holdsCutText(value.raw());
        return !cut;
      });
      return cut;
    }
    default: return false;
  }
}

bool repeatsKeys(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_ARRAY: {
      uint32_t n = plist_array_get_size(node);
      for (uint32_t i = 0; i < n; ++i)
        if (repeatsKeys(plist_array_get_item(node, i))) return true;
      return false;
    }
    case PLIST_DICT: {
      std::unordered_set<std::string> seen;
      bool repeated = false;
      Ref(node).forEach([&](std::string_view key, Ref value) {
        repeated = !seen.emplace(key).second || repeatsKeys(value.raw());
        return !repeated;
      });
      return repeated;
    }
    default: return false;
  }
}

// A copy in which a repeated key holds its last value in the place of its
// first, which is what libplist's own XML reader makes of such a file.
plist_t withLastValues(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_ARRAY: {
      plist_t out = plist_new_array();
      uint32_t n = plist_array_get_size(node);
      for (uint32_t i = 0; i < n; ++i) plist_array_append_item(out, withLastValues(plist_array_get_item(node, i)));
      return out;
    }
    case PLIST_DICT: {
      plist_t out = plist_new_dict();
      Ref(node).forEach([&](std::string_view key, Ref value) {
        plist_dict_set_item(out, std::string(key).c_str(), withLastValues(value.raw()));
        return true;
      });
      return out;
    }
    default: return plist_copy(node);
  }
}

}  // namespace

ReadResult parseDictionary(std::string_view bytes) {
  ReadResult result;
  result.dict = Value::dict();
  result.state = ReadState::Unreadable;
  if (bytes.empty()) {
    result.problem = "an empty file";
    return result;
  }
  if (bytes.size() >= std::numeric_limits<uint32_t>::max()) {
    result.problem = "a file of 4 GiB or more";
    return result;
  }
  result.problem = shapeProblem(bytes);
  if (!result.problem.empty()) return result;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  Value parsed(root);
  if (!parsed) {
    result.problem = "not a property list";
    return result;
  }
  if (!parsed.isDict()) {
    result.problem = "a property list whose root is not a dictionary";
    return result;
  }
  if (holdsCutText(parsed.ref().raw())) {
    result.problem = "a text or key holding a NUL character";
    return result;
  }
  if (repeatsKeys(parsed.ref().raw())) {
    parsed = Value(withLastValues(parsed.ref().raw()));
    result.problem = "a dictionary repeating a key; its last value counts";
  }
  result.dict = std::move(parsed);
  result.state = ReadState::Ok;
  return result;
}

// ---------------------------------------------------------------- files

static bool readWhole(const std::filesystem::path& file, std::string& out, int& err) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

ReadResult readDictionary(const std::filesystem::path& file) {
  std::string bytes;
  int err = 0;
  if (!readWhole(file, bytes, err)) {
    ReadResult result;
    result.dict = Value::dict();
    result.state = err == ENOENT ? ReadState::Missing : ReadState::Unreadable;
    if (err != ENOENT) {
      result.problem = std::strerror(err);
      platform::log("plist: cannot read ", file.string(), ": ", result.problem, "; read as empty");
    }
    return result;
  }
  ReadResult result = parseDictionary(bytes);
  if (!result.problem.empty()) platform::log("plist: ", file.string(), ": ", result.problem,
                                             result.state == ReadState::Ok ? "" : "; read as empty");
  return result;
}

std::string toXml(Ref node) {
  if (!node) return {};
  char* xml = nullptr;
  uint32_t len = 0;
  plist_to_xml(node.raw(), &xml, &len);
  std::string out(xml ? xml : "", xml ? len : 0);
  plist_to_xml_free(xml);
  return out;
}

std::string toBinary(Ref node) {
  if (!node) return {};
  char* bin = nullptr;
  uint32_t len = 0;
  plist_to_bin(node.raw(), &bin, &len);
  std::string out(bin ? bin : "", bin ? len : 0);
  plist_to_bin_free(bin);
  return out;
}

std::optional<WriteError> writeBytesAtomically(const std::filesystem::path& file,
                                               std::string_view bytes) {
  std::filesystem::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return WriteError{errno, "create temporary file in " + dir.string()};
  auto fail = [&](const char* step) {
    int e = errno;
    ::close(fd);
    ::unlink(tmpl.c_str());
    return WriteError{e, std::string(step) + " " + tmpl};
  };
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("write");
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fchmod(fd, 0644) != 0) return fail("chmod");
  if (::fsync(fd) != 0) return fail("flush");
  if (::close(fd) != 0) {
    int e = errno;
    ::unlink(tmpl.c_str());
    return WriteError{e, "close " + tmpl};
  }
  if (::rename(tmpl.c_str(), file.c_str()) != 0) {
    int e = errno;
    ::unlink(tmpl.c_str());
    return WriteError{e, "rename over " + file.string()};
  }
  return std::nullopt;
}

std::optional<WriteError> writeXmlAtomically(const std::filesystem::path& file, Ref node) {
  return writeBytesAtomically(file, toXml(node));
}

}  // namespace platform::plist

namespace platform::plist {

namespace {

// Renames without replacing an existing file; false with errno EEXIST when
// `to` exists.
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a second link, then the old name goes.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    int e = errno;
    ::unlink(to.c_str());
    errno = e;
    return false;
  }
  return true;
}

}  // namespace

bool keepUnreadableAside(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    platform::log("plist: cannot keep ", file.string(), " aside: ", std::strerror(errno));
    return false;
  }
  if (S_ISREG(st.st_mode) && st.st_size == 0) return true;  // nothing in it to lose
  std::string stem =
      file.string() + ".unreadable-" + platform::clock::now().toString("yyyyMMdd-HHmmss").toStdString();
  for (int n = 1; n < 1000; ++n) {
    std::filesystem::path aside = n == 1 ? stem : stem + "-" + std::to_string(n);
    if (renameNoReplace(file, aside)) {
      platform::log("plist: ", file.string(), " could not be read; kept as ", aside.string(),
                    " before it is replaced");
      return true;
    }
    if (errno != EEXIST) {
      platform::log("plist: cannot keep ", file.string(), " aside as ", aside.string(), ": ", std::strerror(errno));
      return false;
    }
  }
  platform::log("plist: cannot keep ", file.string(), " aside: every name ", stem, "-N is taken");
  return false;
}

}  // namespace platform::plist
