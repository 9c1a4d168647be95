#include "app/record_filter.h"

#include <algorithm>

namespace calmora::viewer {

QString foldedForSearch(const QString& text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
  if (ascii) return text.toCaseFolded();
  QString out;
  const QString decomposed = text.normalized(QString::NormalizationForm_KD);
  out.reserve(decomposed.size());
  for (QChar c : decomposed)
    if (!c.isMark()) out += c;
  return out.toCaseFolded();
}

void RecordFilter::setText(const QString& text) {
  text_ = text;
  needle_ = foldedForSearch(text.trimmed());
}

void RecordFilter::update(const EventLogSnapshot& shown) {
  const int64_t count = shown.count();
  if (folded_ != shown.generation()) {
    texts_.assign(static_cast<size_t>(count), QString());
    // A separator no one types, so that no match spans two fields.
    for (int64_t n = 0; n < count; ++n) {
      EventRecord r = shown.record(n, EventLogSnapshot::Icon::Skip);
      texts_[static_cast<size_t>(n)] = foldedForSearch(r.from + QChar(0x1f) + r.data + QChar(0x1f) + r.msg +
                                                       QChar(0x1f) + r.appName);
    }
    folded_ = shown.generation();
    matchedVersion_ = 0;
  }
  if (matchedVersion_ == folded_ && matchedNeedle_ == needle_) return;
  // Typing on narrows the rows already found.
  const bool narrowing = matchedVersion_ == folded_ && !matchedNeedle_.isEmpty() && needle_.contains(matchedNeedle_);
  std::vector<int64_t> rows;
  auto consider = [&](int64_t n) {
    if (texts_[static_cast<size_t>(n)].contains(needle_)) rows.push_back(n);
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
