#include "platform/foundation/plist_shape.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>


namespace platform::plist::shape {

namespace {

// Calls fn(key, value) for each entry of a dictionary node, in order, until
// it answers false.
template <class Fn>
void forEachEntry(plist_t dict, Fn&& fn) {
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(dict, &it);
  for (;;) {
    char* k = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, it, &k, &value);
    if (!k) break;
    const std::string key(k);
    std::free(k);
    if (!fn(std::string_view(key), value)) break;
  }
  std::free(it);
}

constexpr size_t npos = std::string_view::npos;

// An upper bound of the nesting the XML parser would build. Every opening
// tag counts, even inside comments; a closing tag counts only where no
// reading of the text puts it inside a comment, CDATA or declaration, so a
// file the parser reads in some other way than expected is refused sooner,
// never later.
class XmlShape {
 public:
  explicit XmlShape(std::string_view s) : s_(s), budget_(s.size() * 16 + (1 << 20)) {}
  Result<void> check();

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

Result<void> XmlShape::check() {
  if (s_.find('\0') != npos) return Error{ErrorCode::HoldsNul, 0, "an XML plist holding a NUL byte"};
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
      if (++depth > kMaxNesting) return Error{ErrorCode::TooDeep, 0, "a plist nested deeper than " + std::to_string(kMaxNesting) + " levels"};
    }
    if (budget_ == 0) return Error{ErrorCode::TooIrregular, 0, "an XML plist too irregular to check"};
  }
  return {};
}

// The object graph of a binary plist (format "bplist00"), walked once with
// every object's depth and expanded size remembered, so that shared
// objects cost nothing more however often they are referenced.
class BinaryShape {
 public:
  explicit BinaryShape(std::string_view s) : s_(s) {}
  Result<void> check();

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
  Result<void> checkLeaf(size_t at) const;
  // Counts a child's depth and expanded size into the container being
  // walked, if any.
  void addToParent(std::vector<Frame>& stack, uint16_t depth, uint32_t nodes) const;
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

Result<void> BinaryShape::checkLeaf(size_t at) const {
  uint8_t kind = static_cast<uint8_t>(s_[at]) >> 4;
  if (kind != 0x5 && kind != 0x6) return {};
  auto size = sized(at);
  if (!size) return {};
  auto [count, content] = *size;
  uint64_t bytes = kind == 0x6 ? count * 2 : count;
  if ((kind == 0x6 && count > (uint64_t{1} << 62)) || content > tableAt_ || bytes > tableAt_ - content) return {};
  std::string_view text = s_.substr(content, bytes);
  if (kind == 0x5 && text.find('\0') != npos) return Error{ErrorCode::HoldsNul, 0, "a text or key holding a NUL character"};
  for (size_t i = 0; kind == 0x6 && i + 1 < text.size(); i += 2)
    if (text[i] == 0 && text[i + 1] == 0) return Error{ErrorCode::HoldsNul, 0, "a text or key holding a NUL character"};
  return {};
}

void BinaryShape::addToParent(std::vector<Frame>& stack, uint16_t depth, uint32_t nodes) const {
  if (stack.empty()) return;
  Frame& parent = stack.back();
  parent.childDepth = std::max(parent.childDepth, depth);
  parent.nodes = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{parent.nodes} + nodes, kMaxBinaryNodes + 1));
}

void BinaryShape::finish(std::vector<Frame>& stack) {
  Frame done = stack.back();
  stack.pop_back();
  state_[done.object] = 2;
  depth_[done.object] = static_cast<uint16_t>(done.childDepth + 1);
  nodes_[done.object] = done.nodes;
  addToParent(stack, depth_[done.object], done.nodes);
}

Result<void> BinaryShape::check() {
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
  if (offsetSize_ > 8 || refSize_ > 8) return Error{ErrorCode::Malformed, 0, "a binary plist with references wider than 8 bytes"};
  tableAt_ = static_cast<size_t>(table);
  state_.assign(objects_, 0);
  depth_.assign(objects_, 0);
  nodes_.assign(objects_, 0);

  std::vector<Frame> stack;
  auto visit = [&](uint64_t index) -> Result<void> {
    auto at = objectAt(index);
    if (!at) return {};
    if (state_[index] == 1) return Error{ErrorCode::ReferenceCycle, 0, "a binary plist whose objects refer to each other in a cycle"};
    if (state_[index] == 2) {
      addToParent(stack, depth_[index], nodes_[index]);
      return {};
    }
    uint8_t kind = static_cast<uint8_t>(s_[*at]) >> 4;
    if (kind == 0xA || kind == 0xC || kind == 0xD) {
      if (wideCount(*at)) return Error{ErrorCode::Malformed, 0, "a binary plist with a count wider than 8 bytes"};
      auto size = sized(*at);
      if (stack.size() + 1 >= static_cast<size_t>(kMaxNesting))
        return Error{ErrorCode::TooDeep, 0, "a plist nested deeper than " + std::to_string(kMaxNesting) + " levels"};
      uint64_t refs = size ? size->first : 0;
      if (kind == 0xD) refs = refs > UINT64_MAX / 2 ? UINT64_MAX : refs * 2;
      state_[index] = 1;
      stack.push_back(Frame{index, size ? size->second : tableAt_, refs});
      return {};
    }
    TRY(checkLeaf(*at));
    state_[index] = 2;
    depth_[index] = 1;
    nodes_[index] = 1;
    addToParent(stack, 1, 1);
    return {};
  };

  TRY(visit(root));
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
    TRY(visit(*ref));
  }
  if (nodes_[root] > kMaxBinaryNodes)
    return Error{ErrorCode::TooLarge, 0, "a binary plist expanding to more than " + std::to_string(kMaxBinaryNodes) + " nodes"};
  return {};
}

}  // namespace

Result<void> checkBeforeParsing(std::string_view bytes) {
  if (bytes.starts_with("bplist00")) return BinaryShape(bytes).check();
  if (bytes.starts_with("bplist")) return {};  // other versions: the parser rejects them
  return XmlShape(bytes).check();
}

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
      forEachEntry(node, [&](std::string_view, plist_t value) {
        cut = holdsCutText(value);
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
      forEachEntry(node, [&](std::string_view key, plist_t value) {
        repeated = !seen.emplace(key).second || repeatsKeys(value);
        return !repeated;
      });
      return repeated;
    }
    default: return false;
  }
}

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
      forEachEntry(node, [&](std::string_view key, plist_t value) {
        plist_dict_set_item(out, std::string(key).c_str(), withLastValues(value));
        return true;
      });
      return out;
    }
    default: return plist_copy(node);
  }
}

}  // namespace platform::plist::shape
