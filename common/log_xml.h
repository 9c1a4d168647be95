// The quick way through a log in exactly the XML form this engine writes.
// A log of 10,000 records with their icons is about 90 MB; parsing it into a
// tree and serialising it again costs seconds, and even holding a copy of
// it in memory is slow where fresh memory is expensive to touch, while
// appending a record or flipping a read mark only needs to know where the
// records are. `scan` reads the text in chunks and checks all of it against
// the engine's own form (a root dictionary of the keys "0", "1", ... in
// order, each a flat record of texts, booleans and integers), answering
// nothing for anything else (binary files, other formatting, other value
// types, numeric character references), which then takes the full parse.
// An edit made from a layout gives the same bytes as the parse, edit and
// serialise would.
#pragma once

#include <cstddef>
#include <cstdint>
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
  // source ends (or fails) first.
  bool ensure(size_t n);
  std::string_view window() const { return {data_ + pos_, len_ - pos_}; }
  void advance(size_t n) { pos_ += n; }
  bool failed() const { return failed_; }

 private:
  int fd_ = -1;
  std::vector<char> buffer_;
  const char* data_ = nullptr;
  size_t len_ = 0, pos_ = 0;
  uint64_t base_ = 0;      // file offset of data_[0]
  uint64_t readUpTo_ = 0;  // file offset of the next read
  bool ended_ = false, failed_ = false;
};

struct Layout {
  struct Record {
    bool unread = true;
    // Offset of the record's "<false/>" read mark; npos when the record is
    // unread for another reason (mark missing, a zero integer, a text).
    uint64_t falseMark = kNone;
  };
  static constexpr uint64_t kNone = UINT64_MAX;

  std::vector<Record> records;  // index = record key
  uint64_t closing = 0;         // offset of the tags that end the file
  uint64_t size = 0;            // bytes scanned: the whole file
  bool selfClosed = false;      // an empty log written as "<dict/>"

  size_t unread() const;
};

std::optional<Layout> scan(Source& source);
std::optional<Layout> scan(std::string_view bytes);

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

// Adds the record under the key `records.size()` before the closing tags.
Edit appendRecord(const Layout& layout, const RecordText& record);
// Turns the "<false/>" marks of the given records into "<true/>"; records
// without a `falseMark` are passed over. In file order.
std::vector<Edit> markRead(const Layout& layout, const std::vector<size_t>& recordKeys);

// The edits applied to bytes in memory.
std::string applied(std::string_view bytes, const std::vector<Edit>& edits);

}  // namespace calmora::logs::xml
