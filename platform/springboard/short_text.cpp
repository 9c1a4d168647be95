#include "platform/springboard/short_text.h"

#include <QTextBoundaryFinder>

namespace platform::springboard {

QString shortText(const std::string& utf8, int maxChars) {
  // Four bytes a character at most: the rest is never decoded.
  const size_t bytes = std::min(utf8.size(), static_cast<size_t>(maxChars) * 4 + 4);
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(bytes));
  for (QChar& c : text)
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) c = u' ';
  if (text.size() <= maxChars && bytes == utf8.size()) return text;
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  graphemes.setPosition(std::min<qsizetype>(maxChars, text.size()));
  if (!graphemes.isAtBoundary()) graphemes.toPreviousBoundary();
  return text.left(std::max<qsizetype>(graphemes.position(), 0)) + QChar(0x2026);
}

}  // namespace platform::springboard
