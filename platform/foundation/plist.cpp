#include "platform/foundation/plist.h"

#include <plist/plist.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <limits>

#include "platform/foundation/clock.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist_shape.h"
#include "platform/foundation/text.h"

namespace platform::plist {

// ---------------------------------------------------------------- Ref

std::optional<int64_t> decimalValue(std::string_view s) {
  s = trim(s);
  size_t i = 0;
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

ReadResult parseDictionary(std::string_view bytes) {
  ReadResult result;
  result.dict = Value::dict();
  result.state = ReadState::Unreadable;
  auto refuse = [&](ErrorCode code, std::string why) {
    result.error = Error{code, 0, std::move(why)};
    return std::move(result);
  };
  if (bytes.empty()) return refuse(ErrorCode::Empty, "an empty file");
  if (bytes.size() >= std::numeric_limits<uint32_t>::max())
    return refuse(ErrorCode::TooLarge, "a file of 4 GiB or more");
  if (auto checked = shape::checkBeforeParsing(bytes); !checked) {
    result.error = checked.error();
    return result;
  }
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  Value parsed(root);
  if (!parsed) return refuse(ErrorCode::Malformed, "not a property list");
  if (!parsed.isDict()) return refuse(ErrorCode::NotADictionary, "a property list whose root is not a dictionary");
  if (shape::holdsCutText(parsed.ref().raw()))
    return refuse(ErrorCode::HoldsNul, "a text or key holding a NUL character");
  if (shape::repeatsKeys(parsed.ref().raw())) {
    parsed = Value(shape::withLastValues(parsed.ref().raw()));
    result.mended = true;
  }
  result.dict = std::move(parsed);
  result.state = ReadState::Ok;
  return result;
}

std::string describeRead(const ReadResult& read) {
  if (read.error) return read.error->describe();
  return read.mended ? "a dictionary repeating a key; its last value counts" : std::string();
}

// ---------------------------------------------------------------- files

ReadResult readDictionary(const std::filesystem::path& file) {
  auto bytes = platform::readFile(file);
  if (!bytes) {
    ReadResult result;
    result.dict = Value::dict();
    result.error = bytes.error();
    result.state = bytes.error().code == ErrorCode::NotFound ? ReadState::Missing : ReadState::Unreadable;
    if (result.state == ReadState::Unreadable)
      platform::log("plist: cannot read ", file.string(), ": ", result.error->describe(), "; read as empty");
    return result;
  }
  ReadResult result = parseDictionary(*bytes);
  if (result.error || result.mended)
    platform::log("plist: ", file.string(), ": ", describeRead(result),
                  result.state == ReadState::Ok ? "" : "; read as empty");
  return result;
}

namespace {
// libplist writes a year before 1000 with fewer than four digits
// ("999-01-01T..."), which other readers of the format refuse; those get
// four. A year past 9999 or before 0 (a binary file's date can hold one)
// no reader takes back as written, libplist included: such a date is
// written empty, as libplist writes one that is no number.
void writeDatesReadably(std::string& xml) {
  constexpr std::string_view kOpen = "<date>", kClose = "</date>";
  for (size_t at = xml.find(kOpen); at != std::string::npos; at = xml.find(kOpen, at + 1)) {
    const size_t year = at + kOpen.size();
    size_t end = year;
    while (end < xml.size() && std::isdigit(static_cast<unsigned char>(xml[end]))) ++end;
    const bool dashed = end < xml.size() && xml[end] == '-';
    if (dashed && end > year && end - year < 4) {
      xml.insert(year, 4 - (end - year), '0');
    } else if (!dashed || end - year != 4) {
      const size_t close = xml.find(kClose, year);
      if (close == std::string::npos) return;
      xml.replace(at, close + kClose.size() - at, "<date/>");
    }
  }
}
}  // namespace

std::string toXml(Ref node) {
  if (!node) return {};
  char* xml = nullptr;
  uint32_t len = 0;
  plist_to_xml(node.raw(), &xml, &len);
  std::string out(xml ? xml : "", xml ? len : 0);
  plist_to_xml_free(xml);
  writeDatesReadably(out);
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

Result<void> writeXmlAtomically(const std::filesystem::path& file, Ref node) {
  return platform::replaceAtomically(file, toXml(node));
}

}  // namespace platform::plist

namespace platform::plist {

Result<void> keepUnreadableAside(const std::filesystem::path& file) {
  struct stat st {};
  // The link itself, not its target: a link is kept aside like any file.
  if (::lstat(file.c_str(), &st) != 0) {
    if (errno == ENOENT) return {};
    Error e{ErrorCode::Unreadable, errno, "keep " + file.string() + " aside"};
    platform::log("plist: cannot ", e.describe());
    return e;
  }
  if (S_ISREG(st.st_mode) && st.st_size == 0) return {};  // nothing in it to lose
  std::string stem =
      file.string() + ".unreadable-" + platform::clock::now().toString("yyyyMMdd-HHmmss").toStdString();
  for (int n = 1; n < 1000; ++n) {
    std::filesystem::path aside = n == 1 ? stem : stem + "-" + std::to_string(n);
    auto moved = platform::renameNoReplace(file, aside);
    if (moved) {
      platform::log("plist: ", file.string(), " could not be read; kept as ", aside.string(),
                    " before it is replaced");
      return {};
    }
    if (moved.error().code != ErrorCode::Exists) {
      platform::log("plist: cannot keep ", file.string(), " aside as ", aside.string(), ": ",
                    std::strerror(moved.error().sysErrno));
      return moved;
    }
  }
  platform::log("plist: cannot keep ", file.string(), " aside: every name ", stem, "-N is taken");
  return Error{ErrorCode::NoNameLeft, 0, "keep " + file.string() + " aside"};
}

}  // namespace platform::plist
