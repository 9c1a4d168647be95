#include "hook/loose_match.h"

#include "platform/foundation/qt_text.h"

namespace calmora {

using platform::toQString;

bool containsEither(std::string_view first, std::string_view second) {
  QString a = first.empty() ? QStringLiteral("imnull") : toQString(first);
  QString b = second.empty() ? QStringLiteral("imalsonull") : toQString(second);
  return a.contains(b, Qt::CaseInsensitive) || b.contains(a, Qt::CaseInsensitive);
}

bool containsEither(const platform::Text& first, const platform::Text& second) {
  return containsEither(first ? std::string_view(*first) : std::string_view(),
                        second ? std::string_view(*second) : std::string_view());
}

bool containsEither(const char* first, const char* second) {
  return containsEither(std::string_view(first ? first : ""), std::string_view(second ? second : ""));
}

}  // namespace calmora
