#include "CalmoPrefs/schedule_window.h"

#include <algorithm>

#include "common/time_window.h"
#include "platform/foundation/text.h"

namespace calmoprefs {

std::optional<QString> normalizedWindow(const QString& typed) {
  // Blanks around the parts are a typing convenience: they go, unless they
  // stand between two digits. What is left is read as the library reads it,
  // with one dash only.
  const std::string text = typed.toStdString();
  std::string compact;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!platform::isBlank(text[i])) {
      compact += text[i];
      continue;
    }
    size_t next = i;
    while (next < text.size() && platform::isBlank(text[next])) ++next;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (!compact.empty() && next < text.size() && isDigit(compact.back()) && isDigit(text[next])) return std::nullopt;
    i = next - 1;
  }
  if (std::count(compact.begin(), compact.end(), '-') != 1) return std::nullopt;
  auto window = calmora::schedule::windowOf(compact);
  if (!window) return std::nullopt;
  return QString::fromStdString(calmora::schedule::textOf(*window));
}

}  // namespace calmoprefs
