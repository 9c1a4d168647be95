// The system log: one diagnostic line per call on standard error.
#pragma once

#include <sstream>
#include <string>
#include <string_view>

namespace platform {

// Writes `line` and a line feed to standard error with a single write, so
// lines of concurrent threads and processes never interleave. A line equal
// to the one before is not written again: how often it came is said once
// another line comes, every 5 s while it goes on, at reportRepeats() and as
// the process ends.
// A log file (standard error being one) that grows past kMaxDiagnosticBytes is
// kept as NAME.1, the one before that dropped, and begun anew.
void logLine(std::string_view line);
inline constexpr long kMaxDiagnosticBytes = 4L << 20;
inline constexpr int kRepeatReportSeconds = 5;
// Says how often the last line came since it was last said, if at all: a
// process calls it every kRepeatReportSeconds, so that a run of lines that
// stopped is told without waiting for the next line.
void reportRepeats();

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
