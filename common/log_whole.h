// A log taken whole from elsewhere (a backup): checked the way its readers
// will read it, then put in place of the log file in one step.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/log_store.h"
#include "platform/foundation/error.h"
#include "platform/foundation/file_io.h"

namespace calmora::logs {

// A log file's bytes, checked: what replaceWhole writes.
struct WholeLog {
  std::string bytes;
  size_t records = 0;
};

// Whether `dict`, the XML of a dictionary alone (from its "<dict>" or
// "<dict/>" through its closing tag, as a log's root or a value inside
// another plist), is a log: records, each a dictionary, under the keys "0"
// to count - 1 in any order. Answers the log file it makes, once that file
// is within kMaxLogBytes and reads back whole by the log's readers: in the
// engine's form, which its scan takes, where the records are flat texts,
// integers and booleans, else as the serialiser writes the parsed records.
// Else why not, as the end of a sentence ("its keys are not 0 to 9").
// Linear in the records, except a log that only the full parse takes.
platform::Result<WholeLog, std::string> validate(std::string_view dict);

// Writes `whole` beside the log file and flushes it, to take the file's
// place when committed. The caller holds the log's lock from before the
// commit until after it.
platform::Result<platform::Replacement> replaceWhole(Log log, const WholeLog& whole);

}  // namespace calmora::logs
