// Property lists through libplist: an owning tree (`Value`), a non-owning
// view into it (`Ref`), whole-file reads that never fail and atomic writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/error.h"

using plist_t = void*;

namespace platform::plist {

enum class Type { None, Bool, Integer, Real, String, Data, Date, Dict, Array, Other };

class Value;

// A view of one node of a tree owned by a `Value`; empty when the node is
// absent. Every accessor of an empty or mistyped view answers "absent".
class Ref {
 public:
  Ref() = default;
  explicit Ref(plist_t node) : node_(node) {}

  explicit operator bool() const { return node_ != nullptr; }
  plist_t raw() const { return node_; }
  Type type() const;
  bool isDict() const { return type() == Type::Dict; }

  // Dictionary access; an empty view for a missing key or a non-dictionary.
  Ref operator[](std::string_view key) const;
  // Number of items of a dictionary or an array, else 0.
  size_t size() const;
  // Keys of a dictionary in its enumeration (insertion) order.
  std::vector<std::string> keys() const;
  // Calls fn(key, value) for each item of a dictionary, in order, until fn
  // returns false.
  template <class Fn>
  void forEach(Fn&& fn) const;

  // The value rules shared by every reader of the settings and the logs:
  // a boolean is true for `true` or a non-zero number;
  bool truthy() const;
  // an integer comes from a number or its decimal text;
  std::optional<int64_t> integer() const;
  // text is a string, or the decimal text of a number.
  std::optional<std::string> text() const;
  // A string node's bytes, without conversion.
  std::optional<std::string_view> string() const;
  std::optional<double> real() const;

  Value copy() const;
  // Array access; an empty view past the end or for a non-array.
  Ref at(size_t index) const;

 private:
  struct Iter;
  bool next(Iter& it, std::string_view& key, Ref& value) const;
  void beginIter(Iter& it) const;
  plist_t node_ = nullptr;
};

// An owning tree. Moves only; `copy()` for a deep copy.
class Value {
 public:
  Value() = default;
  explicit Value(plist_t adopted) : node_(adopted) {}
  Value(Value&& other) noexcept : node_(other.release()) {}
  Value& operator=(Value&& other) noexcept;
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value();

  static Value dict();
  static Value array();
  static Value string(std::string_view text);
  static Value boolean(bool b);
  static Value integer(int64_t n);
  static Value real(double d);

  Ref ref() const { return Ref(node_); }
  Ref operator[](std::string_view key) const { return ref()[key]; }
  explicit operator bool() const { return node_ != nullptr; }
  bool isDict() const { return ref().isDict(); }
  size_t size() const { return ref().size(); }
  plist_t release();

  // Dictionary edits; no effect on a non-dictionary.
  void set(std::string_view key, Value item);
  void remove(std::string_view key);
  // Array edit; no effect on a non-array.
  void append(Value item);
  // A dictionary item that can be edited in place (empty view if absent).
  Ref item(std::string_view key) const { return ref()[key]; }

 private:
  plist_t node_ = nullptr;
};

// Sets a dictionary item in place inside a tree (for example "isRead" of one
// record of a log held by a `Value`).
void setItem(Ref dict, std::string_view key, Value item);

enum class ReadState {
  Missing,     // no file: an empty dictionary, nothing lost
  Ok,          // a dictionary was read
  Unreadable,  // the file exists but is not a readable dictionary plist
};

struct ReadResult {
  Value dict;  // always a dictionary, empty unless state is Ok
  ReadState state = ReadState::Missing;
  // Why the file reads as empty: NotFound when Missing, the reason when
  // Unreadable; nothing when Ok.
  std::optional<Error> error;
  // A key repeated in one dictionary was mended to its last value.
  bool mended = false;
};

// Reads an XML or binary plist whose root is a dictionary. A missing or
// unreadable file, or one whose root is not a dictionary, reads as an empty
// dictionary; `state` says which, and an unreadable or mended file gets a
// diagnostic line. Refused as unreadable besides what libplist rejects:
// anything but a regular file (a symbolic link to one is followed), a file
// larger than platform::kMaxFileBytes, nesting deeper than kMaxNesting, a
// binary file expanding to more than kMaxBinaryNodes nodes (both in
// plist_shape.h) or holding a reference cycle, a text or key holding a NUL
// character (libplist 2.2 asserts on those). A key repeated in one
// dictionary keeps its last value, as an XML reader keeps it.
ReadResult readDictionary(const std::filesystem::path& file);
// Parses bytes already in memory with the same rules; silent, `error` and
// `mended` say what a caller may want to report.
ReadResult parseDictionary(std::string_view bytes);
// Why a read came out empty, or what was mended in it; empty otherwise.
std::string describeRead(const ReadResult& read);

// Before a write replaces a file that exists but could not be read, this
// renames it to NAME.unreadable-YYYYMMDD-HHMMSS (device clock), or with
// -2, -3, ... when that name is taken, so that nothing it held is lost and
// no file kept earlier is overwritten, and says so in a diagnostic line.
// Success when the way is clear for the write: the file was moved, or there
// is none, or it is empty. An error, with a diagnostic line, when it could
// not be moved: the caller should then leave it as it is rather than
// replace it.
Result<void> keepUnreadableAside(const std::filesystem::path& file);

// The integer value of decimal text: optional blanks and sign, then digits;
// what follows the digits is ignored and overflow saturates.
std::optional<int64_t> decimalValue(std::string_view text);

std::string toXml(Ref node);
std::string toBinary(Ref node);

// Writes `node` as XML by atomic replacement (platform::replaceAtomically).
Result<void> writeXmlAtomically(const std::filesystem::path& file, Ref node);

// ---- implementation of the iteration template ----
struct Ref::Iter {
  void* it = nullptr;
  std::string key;
  ~Iter();
};

template <class Fn>
void Ref::forEach(Fn&& fn) const {
  if (!isDict()) return;
  Iter it;
  beginIter(it);
  std::string_view key;
  Ref value;
  while (next(it, key, value)) {
    if (!fn(key, value)) return;
  }
}

}  // namespace platform::plist
