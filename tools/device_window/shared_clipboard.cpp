#include "tools/device_window/shared_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "platform/automation/display_verbs.h"
#include "platform/automation/link.h"

namespace device_window {
namespace verbs = platform::automation::display;

SharedClipboard::SharedClipboard(std::filesystem::path displaySocket, QObject* parent)
    : QObject(parent), link_(new platform::automation::Link(std::move(displaySocket), this)) {
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &SharedClipboard::desktopCopied);
}

platform::Result<void, std::string> SharedClipboard::open() {
  TRY(link_->open());
  seq_ = 0;
  shared_.clear();
  desktopCopied();
  wait();
  return {};
}

void SharedClipboard::desktopCopied() {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty() || text == shared_ || !putOnDevice) return;
  // Too long for a request: the device keeps what it had.
  if (static_cast<size_t>(text.toUtf8().size()) > verbs::kMaxClipboardBytes) return;
  shared_ = text;
  putOnDevice(text);
}

void SharedClipboard::wait() {
  using Copied = platform::Result<verbs::ClipboardAnswer, QJsonObject>;
  link_->ask(verbs::kClipboardCall, {seq_}, [this](const Copied& copied) {
    if (!copied) return;
    seq_ = copied->seq;
    if (copied->text != shared_) {
      shared_ = copied->text;
      QGuiApplication::clipboard()->setText(shared_);
    }
    wait();
  });
}

}  // namespace device_window
