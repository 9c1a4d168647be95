// The rows of a list while its search field holds text: the records whose
// "From", "Data", "msg" or "appName" contain it, case and accents aside,
// newest first. Each version of the log is folded for searching once, at
// its first search; a keystroke then only compares folded texts.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/event_log.h"

namespace calmora::viewer {

// Text as a search compares it, in UTF-8: case folded, accents dropped
// ("Zoë" and "ZOE" both give "zoe").
std::string foldedForSearch(std::string_view text);

class RecordFilter {
 public:
  // Empty text shows every row.
  void setText(const QString& text);
  const QString& text() const { return text_; }
  bool active() const { return !needle_.empty(); }
  // Row r of the filtered list shows record numberForRow(r), newest first.
  int64_t rowCount(const EventLogSnapshot& shown);
  int64_t numberForRow(const EventLogSnapshot& shown, int row);

 private:
  void update(const EventLogSnapshot& shown);
  QString text_;
  std::string needle_;
  uint64_t folded_ = 0;              // the version `texts_` holds, 0 for none
  std::vector<std::string> texts_;   // per record number, the searched fields folded
  uint64_t matchedVersion_ = 0;      // the version and needle `rows_` answer
  std::string matchedNeedle_;
  std::vector<int64_t> rows_;
};

}  // namespace calmora::viewer
