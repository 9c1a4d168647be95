#include "hook/text_forms.h"

#include <QString>

#include "common/names.h"
#include "platform/foundation/qt_text.h"

namespace calmora {

std::string objectText(const platform::Text& text) { return text ? *text : std::string("(null)"); }

platform::Text lowercased(const platform::Text& text) {
  if (!text) return std::nullopt;
  return platform::toQString(*text).toLower().toStdString();
}

std::string withoutABPerson(std::string_view identifier) {
  std::string out;
  out.reserve(identifier.size());
  const std::string_view suffix = names::settings::kABPersonSuffix;
  for (size_t i = 0; i < identifier.size();) {
    if (identifier.compare(i, suffix.size(), suffix) == 0) {
      i += suffix.size();
    } else {
      out.push_back(identifier[i++]);
    }
  }
  return out;
}

}  // namespace calmora
