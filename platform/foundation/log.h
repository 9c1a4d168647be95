// The system log: one diagnostic line per call on standard error.
#pragma once

#include <sstream>
#include <string>
#include <string_view>

namespace platform {

// Writes `line` and a line feed to standard error with a single write, so
// lines of concurrent threads and processes never interleave.
void logLine(std::string_view line);

// Joins the pieces as text (numbers in their decimal form) into one line.
template <class... Parts>
void log(const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  logLine(out.str());
}

// Tests capture the lines instead of reading standard error. A null sink
// restores standard error.
using LogSink = void (*)(std::string_view line, void* context);
void setLogSink(LogSink sink, void* context);

}  // namespace platform
