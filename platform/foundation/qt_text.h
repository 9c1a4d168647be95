// A UTF-8 text as Qt's string, read in place (std::string_view need not end
// in a zero, so QString::fromStdString would need a copy first).
#pragma once

#include <QString>
#include <string_view>

namespace platform {

inline QString toQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace platform
