#include "platform/display/server/clipboard.h"

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
  for (auto& answer : pending) answer(QJsonObject{{"seq", static_cast<double>(seq_)}, {"text", text_}});
}

void ClipboardCompositor::serveClipboard(automation::Server& control) {
  control.onLater(verbs::kClipboard.name, [this](const QJsonObject& request, automation::Responder answer) {
    if (static_cast<double>(seq_) > request["after"].toDouble())
      return answer(QJsonObject{{"seq", static_cast<double>(seq_)}, {"text", text_}});
    std::erase_if(waiting_, [](const automation::Responder& r) { return !r.wanted(); });
    waiting_.push_back(std::move(answer));
  });
  control.on(verbs::kSetClipboard.name, [this](const QJsonObject& request) {
    const QString text = request["text"].toString();
    if (static_cast<size_t>(text.toUtf8().size()) > verbs::kMaxClipboardBytes)
      return QJsonObject{{"error", QString("the text is longer than %1 bytes").arg(verbs::kMaxClipboardBytes)},
                         {"code", automation::code::kBadArgument}};
    // Known as the device's already: not handed back to the desktop.
    text_ = text;
    QMimeData data;
    data.setText(text);
    overrideSelection(&data);
    return QJsonObject{{"ok", true}};
  });
}

}  // namespace platform::display
