// A weekday's time window as the hook library reads it: "HH:mm-HH:mm".
#pragma once

#include <QString>
#include <optional>

namespace calmoprefs {

// The window typed by a person in the stored form: hours and minutes of
// each end (hours of one or two digits, blanks around the parts allowed),
// zero-padded. Nothing for text that is no valid window.
std::optional<QString> normalizedWindow(const QString& typed);

}  // namespace calmoprefs
