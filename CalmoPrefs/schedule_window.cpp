#include "CalmoPrefs/schedule_window.h"

#include <QRegularExpression>

namespace calmoprefs {

std::optional<QString> normalizedWindow(const QString& typed) {
  static const QRegularExpression pattern(R"(^\s*(\d{1,2})\s*:\s*(\d{2})\s*-\s*(\d{1,2})\s*:\s*(\d{2})\s*$)");
  auto match = pattern.match(typed);
  if (!match.hasMatch()) return std::nullopt;
  int parts[4];
  for (int i = 0; i < 4; ++i) parts[i] = match.captured(i + 1).toInt();
  if (parts[0] > 23 || parts[2] > 23 || parts[1] > 59 || parts[3] > 59) return std::nullopt;
  return QString("%1:%2-%3:%4")
      .arg(parts[0], 2, 10, QLatin1Char('0'))
      .arg(parts[1], 2, 10, QLatin1Char('0'))
      .arg(parts[2], 2, 10, QLatin1Char('0'))
      .arg(parts[3], 2, 10, QLatin1Char('0'));
}

}  // namespace calmoprefs
