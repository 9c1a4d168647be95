// Bytes as a property-list file: the reader never crashes, always answers a
// dictionary, and what it read survives being written back as XML, as a log
// is read, changed and written back.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/plist_walk.h"
#include "platform/foundation/plist.h"

using namespace platform::plist;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadResult read = parseDictionary(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(read.dict.isDict() && read.state != ReadState::Missing);
  if (read.state != ReadState::Ok) {
    FUZZ_CHECK(read.dict.size() == 0);
    return 0;
  }
  fuzzing::walkEveryAccessor(read.dict.ref());
  const std::string xml = toXml(read.dict.ref());
  ReadResult again = parseDictionary(xml);
  // A date the XML writer cannot express (a NaN from a binary file) is
  // written as <date/>, which reads back as the reference date; no file of
  // the system holds plist dates, so only that loss is let through.
  FUZZ_CHECK(again.state == ReadState::Ok &&
             (toXml(again.dict.ref()) == xml || xml.find("<date/>") != std::string::npos));
  return 0;
}
