// The quick way through a log in plain XML, for the engine and the viewer.
// A log of 10,000 records with their icons is about 90 MB; parsing it into a
// tree costs seconds, and even holding a copy of it in memory is slow where
// fresh memory is expensive to touch, while appending a record, flipping a
// read mark or showing a screen of rows only needs to know where the records
// are. `scan` reads the text (in chunks from a file) and finds each record of
// the root dictionary, checking that each is a flat dictionary of texts,
// booleans and numbers; it answers nothing for anything else (binary files,
// nested values, comments, unknown references), which then takes the full
// parse. Field values are read only when a caller asks for them.
//
// The engine edits bytes in place, so it scans for its own form only: an
// edit made from such a layout gives the same bytes as the parse, edit and
// serialise would. The viewer reads what ordinary plist writers give as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/plist.h"

namespace calmora::logs::xml {

// Where a scan reads from: bytes in memory, or an open file read from its
// start in chunks of the given size.
class Source {
 public:
  explicit Source(std::string_view bytes) : data_(bytes.data()), len_(bytes.size()) {}
  explicit Source(int fd, size_t chunk = 64 * 1024);

  uint64_t offset() const { return base_ + pos_; }
  // At least n bytes from the position are in the window, unless the
  // source ends (or fails) first. Inline, as a scan asks before every tag
  // and text and nearly always has the bytes already.
  bool ensure(size_t n) { return len_ - pos_ >= n || refill(n); }
  std::string_view window() const { return {data_ + pos_, len_ - pos_}; }
  void advance(size_t n) { pos_ += n; }
  bool failed() const { return failed_; }

 private:
  bool refill(size_t n);
  int fd_ = -1;
  std::vector<char> buffer_;
  const char* data_ = nullptr;
  size_t len_ = 0, pos_ = 0;
  uint64_t base_ = 0;      // file offset of data_[0]
  uint64_t readUpTo_ = 0;  // file offset of the next read
  bool ended_ = false, failed_ = false;
};

// How much of plain XML a scan takes.
enum class Form {
  // Exactly what the serialiser writes for a log: its header and layout, a
  // root of the keys "0", "1", ... in order whose values are records of
  // texts, booleans and integers, only the references it writes, and one
  // read mark at most in a record.
  Engine,
  // As ordinary plist writers give it: any prolog, whitespace between tags,
  // any keys (a repeated one keeps its last value, as the full parse keeps
  // it), flat values beside the records, reals, dates and data in them, and
  // numeric character references.
  Plain,
};

struct Layout {
  static constexpr uint64_t kNone = UINT64_MAX;
  struct Record {
    uint64_t keyAt = 0, keyLength = 0;  // the key's text, which holds no reference
    // A dictionary's fields, from after its opening tag to its closing tag;
    // equal when it has none.
    uint64_t begin = 0, end = 0;
    bool isDict = true;  // else a flat value, which is no record
    bool unread = true;
    // Offset of the record's "<false/>" read mark; kNone when the record is
    // unread for another reason (mark missing, a zero integer, a text).
    uint64_t falseMark = kNone;
  };

  std::vector<Record> records;  // in file order; in the engine's form, index = record key
  uint64_t closing = 0;         // offset of the tags that end the file
  uint64_t size = 0;            // bytes scanned: the whole file
  bool selfClosed = false;      // an empty log written as "<dict/>"

  size_t unread() const;
};

std::optional<Layout> scan(Source& source, Form form = Form::Engine);
std::optional<Layout> scan(std::string_view bytes, Form form = Form::Engine);

// The same for a log held as a value inside another plist: `dict` is the
// XML of the dictionary alone, from its "<dict>" (or "<dict/>") through its
// closing tag, in plain XML; offsets are into `dict`.
std::optional<Layout> scanDictionary(std::string_view dict);

// The same two without keeping the layout, whose records take more memory
// than the text of small ones: each record is handed to `each` in file
// order, which stops the scan by answering false; or only whether the
// bytes scan.
using RecordSink = std::function<bool(const Layout::Record&)>;
bool scanDictionary(std::string_view dict, const RecordSink& each);
bool scans(std::string_view bytes, Form form = Form::Engine);

// The entries of the root dictionary of a plist in plain XML, in file
// order: each key (references resolved) and the XML of its value, which is
// found by its tags, not read. A repeated key is listed each time; the
// parse keeps its last value. Nothing for what only the full parse takes
// (binary files, comments, CDATA).
struct Entry {
  std::string key;
  std::string_view value;
};
std::optional<std::vector<Entry>> rootEntries(std::string_view bytes);

// The XML of the root value of a plist in plain XML, found as above.
std::optional<std::string_view> rootValue(std::string_view bytes);

// What the serialiser writes before a document's root value.
const std::string& documentHeader();

// The newest `count` entries of the root of a whole log in plain XML, the
// last first, found from its end without reading what comes before them
// (nor more than its last `limit` bytes); nothing when the end holds fewer.
// Whether the rest of the file scans is for `scan` to tell.
std::optional<std::vector<Layout::Record>> scanNewest(std::string_view bytes, size_t count, size_t limit);

// One field of a record held in memory; the value's text as written.
struct Field {
  enum class Kind { True, False, String, Integer, Real, Date, Data };
  std::string_view key, text;
  Kind kind = Kind::String;
};
// The fields of a record that a scan of `bytes` found, in file order.
std::vector<Field> fields(std::string_view bytes, const Layout::Record& record);
// A text with its character references replaced by what they stand for.
std::string resolved(std::string_view text);

// A record serialised as the engine writes it inside a log, waiting for its
// key; nothing when the serialiser's output is not of that form.
struct RecordText {
  std::string body;  // from the record's "\t<dict>" line to its closing line
};
std::optional<RecordText> serialise(platform::plist::Ref record);

// A change of the file: `length` bytes at `offset` become `text`.
struct Edit {
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string text;
};

// Adds the record under the key `records.size()` before the closing tags;
// under `records.size() - dropped` when the oldest records go in the same
// rewrite.
Edit appendRecord(const Layout& layout, const RecordText& record, size_t dropped = 0);
// Turns the "<false/>" marks of the given records into "<true/>"; records
// without a `falseMark` are passed over. In file order.
std::vector<Edit> markRead(const Layout& layout, const std::vector<size_t>& recordKeys);
// Takes out the record of key `recordKey` (< the count, and the count > 1)
// and gives each later record the key one lower. In file order.
std::vector<Edit> removeRecord(const Layout& layout, size_t recordKey);

}  // namespace calmora::logs::xml
