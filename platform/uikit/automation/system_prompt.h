// A prompt the system shows over an app (the authentication prompt): it is
// the root controller of its own window, and the automation channel's
// "auth" verb answers the one shown from outside, as a person would.
#pragma once

#include <QJsonObject>
#include <QString>

namespace platform::uikit {

class SystemPrompt {
 public:
  virtual ~SystemPrompt() = default;
  // {"done": true}, or an error answer with code "badArgument".
  virtual QJsonObject answerFromOutside(const QString& answer) = 0;
};

}  // namespace platform::uikit
