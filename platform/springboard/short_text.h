// Text from outside (a caller's name, a message) as a one-screen view shows
// it: at most `maxChars` characters, cut between graphemes with an ellipsis,
// line breaks and other controls as spaces. A 100 KB name is measured and
// drawn no more than its first screenful.
#pragma once

#include <QString>
#include <string>

namespace platform::springboard {

QString shortText(const std::string& utf8, int maxChars);

}  // namespace platform::springboard
