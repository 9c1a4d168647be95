// Bytes as a property-list file: the reader never crashes, always answers a
// dictionary, every accessor holds to the value rules on whatever it read,
// and what the writers make of it reads back the same.
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/plist_walk.h"
#include "platform/foundation/plist.h"

using namespace platform::plist;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ReadResult read = parseDictionary(bytes);
  FUZZ_CHECK(read.dict.isDict());
  FUZZ_CHECK(read.state != ReadState::Missing);
  if (read.state != ReadState::Ok) {
    FUZZ_CHECK(read.dict.size() == 0);
    return 0;
  }
  fuzzing::walkEveryAccessor(read.dict.ref());

  // A log is read, changed and written back as XML: nothing it held may be
  // lost on the way.
  ReadResult again = parseDictionary(toXml(read.dict.ref()));
  FUZZ_CHECK(again.state == ReadState::Ok);
  FUZZ_CHECK(fuzzing::sameTree(read.dict.ref(), again.dict.ref()));
  // The binary writer, which only tests use, recodes texts as UTF-16 and
  // so cannot keep bytes that are not UTF-8.
  if (fuzzing::wellFormedText(read.dict.ref())) {
    ReadResult binary = parseDictionary(toBinary(read.dict.ref()));
    FUZZ_CHECK(binary.state == ReadState::Ok);
    FUZZ_CHECK(fuzzing::sameTree(read.dict.ref(), binary.dict.ref()));
  }

  Value copy = read.dict.ref().copy();
  FUZZ_CHECK(fuzzing::sameTree(read.dict.ref(), copy.ref()));
  // Edits in place keep the rest of the tree.
  size_t before = copy.size();
  copy.set("fuzz-added", Value::boolean(true));
  FUZZ_CHECK(copy.size() == before + (read.dict["fuzz-added"] ? 0 : 1));
  copy.remove("fuzz-added");
  return 0;
}
