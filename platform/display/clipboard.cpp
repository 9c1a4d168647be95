#include "platform/display/clipboard.h"

#include <QJsonObject>
#include <QMimeData>
#include <algorithm>

#include "platform/automation/display_verbs.h"

namespace platform::display {
namespace verbs = automation::display;

ClipboardCompositor::ClipboardCompositor() { setRetainedSelectionEnabled(true); }

void ClipboardCompositor::retainedSelectionReceived(QMimeData* data) {
  if (!data || !data->hasText()) return;
  QString text = data->text();
  // Longer text stays in the device: the desktop would get it cut short.
  if (static_cast<size_t>(text.toUtf8().size()) > verbs::kMaxClipboardBytes || text == text_) return;
  text_ = std::move(text);
  ++seq_;
  auto pending = std::move(waiting_);
  waiting_.clear();
  for (auto& answer : pending) answer(verbs::ClipboardAnswer{static_cast<double>(seq_), text_});
}

void ClipboardCompositor::serveClipboard(automation::Server& control) {
  control.onLater(verbs::kClipboardCall, [this](const verbs::ClipboardRequest& request, Waiting answer) {
    const double seq = static_cast<double>(seq_);
    if (seq > request.after) return answer(verbs::ClipboardAnswer{seq, text_});
    std::erase_if(waiting_, [](const Waiting& w) { return !w.wanted(); });
    waiting_.push_back(std::move(answer));
  });
  using Answered = Result<verbs::Done, QJsonObject>;
  control.on(verbs::kSetClipboardCall, [this](const verbs::SetClipboardRequest& request) -> Answered {
    if (static_cast<size_t>(request.text.toUtf8().size()) > verbs::kMaxClipboardBytes)
      return QJsonObject{{"error", QString("the text is longer than %1 bytes").arg(verbs::kMaxClipboardBytes)},
                         {"code", automation::code::kBadArgument}};
    // Known as the device's already: not handed back to the desktop.
    text_ = request.text;
    QMimeData data;
    data.setText(text_);
    overrideSelection(&data);
    return verbs::Done{};
  });
}

}  // namespace platform::display
