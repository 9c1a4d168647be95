#include "platform/automation/wait.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/automation/ui_verbs.h"

namespace platform::automation {

void answerWait(const QJsonObject& request, std::function<bool(const QString& text)> showing, Responder answer) {
  const QString text = request.value("text").toString();
  const double seconds = request.value("timeout").toDouble(ui::kDefaultWaitSeconds);
  if (!std::isfinite(seconds))
    return answer({{"error", "'timeout' must be a finite number of seconds"}, {"code", code::kBadArgument}});
  if (showing(text)) return answer({{"found", true}});
  QObject* context = answer.context();
  if (!context) return;
  using Clock = std::chrono::steady_clock;
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(std::llround(std::clamp(seconds, 0.0, ui::kMaxWaitSeconds) * 1000));
  // Parented to the connection: it stops looking when the client leaves.
  auto* look = new QTimer(context);
  look->setTimerType(Qt::PreciseTimer);
  QObject::connect(look, &QTimer::timeout, look, [look, text, deadline, showing = std::move(showing), answer] {
    if (answer.wanted()) {
      if (showing(text)) answer({{"found", true}});
      else if (Clock::now() >= deadline) answer({{"found", false}});
    }
    if (!answer.wanted()) look->deleteLater();
  });
  look->start(10);
}

}  // namespace platform::automation
