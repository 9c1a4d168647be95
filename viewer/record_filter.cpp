#include "viewer/record_filter.h"

#include <algorithm>

#include "platform/foundation/qt_text.h"

namespace calmora::viewer {

std::string foldedForSearch(std::string_view text) {
  // Most texts are ASCII: folded byte by byte, without a conversion.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string out(text);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return out;
  }
  const QString decomposed = platform::toQString(text).normalized(QString::NormalizationForm_KD);
  QString out;
  out.reserve(decomposed.size());
  for (QChar c : decomposed)
    if (!c.isMark()) out += c;
  return out.toCaseFolded().toStdString();
}

void RecordFilter::setText(const QString& text) {
  text_ = text;
  needle_ = foldedForSearch(text.trimmed().toStdString());
}

void RecordFilter::update(const EventLogSnapshot& shown) {
  const int64_t count = shown.count();
  if (folded_ != shown.generation()) {
    texts_.assign(static_cast<size_t>(count), std::string());
    for (int64_t n = 0; n < count; ++n) texts_[static_cast<size_t>(n)] = foldedForSearch(shown.searchText(n));
    folded_ = shown.generation();
    matchedVersion_ = 0;
  }
  if (matchedVersion_ == folded_ && matchedNeedle_ == needle_) return;
  // Typing on narrows the rows already found.
  const bool narrowing = matchedVersion_ == folded_ && !matchedNeedle_.empty() &&
                         needle_.find(matchedNeedle_) != std::string::npos;
  std::vector<int64_t> rows;
  auto consider = [&](int64_t n) {
    if (texts_[static_cast<size_t>(n)].find(needle_) != std::string::npos) rows.push_back(n);
  };
  if (narrowing)
    for (int64_t n : rows_) consider(n);
  else
    for (int64_t n = count - 1; n >= 0; --n) consider(n);
  rows_ = std::move(rows);
  matchedVersion_ = folded_;
  matchedNeedle_ = needle_;
}

int64_t RecordFilter::rowCount(const EventLogSnapshot& shown) {
  if (!active()) return shown.count();
  update(shown);
  return static_cast<int64_t>(rows_.size());
}

int64_t RecordFilter::numberForRow(const EventLogSnapshot& shown, int row) {
  if (!active()) return shown.numberForRow(row);
  update(shown);
  return row >= 0 && size_t(row) < rows_.size() ? rows_[size_t(row)] : -1;
}

}  // namespace calmora::viewer
