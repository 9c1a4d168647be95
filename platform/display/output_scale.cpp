#include "platform/display/output_scale.h"

#include <QWaylandClient>
#include <QWaylandCompositor>
#include <QWaylandOutput>
#include <QWaylandSurface>
#include <QWaylandView>

namespace platform::display {

OutputScale::OutputScale(QWaylandCompositor* compositor, QSize points,
                         std::function<std::vector<QWaylandView*>()> views)
    : compositor_(compositor), points_(points), views_(std::move(views)) {
  window_.resize(points_);
  output_ = makeOutput(1);
  moving_.setInterval(10);
  QObject::connect(&moving_, &QTimer::timeout, [this] { moveWindows(); });
}

OutputScale::~OutputScale() = default;  // the outputs are the compositor's

int OutputScale::scale() const { return output_->scaleFactor(); }

QWaylandOutput* OutputScale::makeOutput(int scale) {
  auto* made = new QWaylandOutput(compositor_, &window_);
  setScale(made, scale);
  return made;
}

void OutputScale::setScale(QWaylandOutput* screen, int scale) {
  const QWaylandOutputMode mode(points_ * scale, 60000);
  if (!screen->modes().contains(mode)) screen->addMode(mode, true);
  screen->setCurrentMode(mode);
  screen->setScaleFactor(scale);
}

// A client takes a new scale only when its window enters another output,
// so the windows move to a new output of that scale, each once its client
// has bound it.
void OutputScale::scaleTo(int scale) {
  if (moving_.isActive()) {
    // No window has entered the new output yet: it takes this scale
    // instead, so that a flood of requests makes no more outputs.
    setScale(output_, scale);
  } else if (output_->scaleFactor() != scale) {
    retiring_.push_back(output_);
    output_ = makeOutput(scale);
    compositor_->setDefaultOutput(output_);
    movingUntil_.setRemainingTime(2000);
    moving_.start();
  }
}

// A client that has not bound the new output within the time moves all
// the same (it keeps drawing at its old scale).
void OutputScale::moveWindows() {
  bool unbound = false;
  for (QWaylandView* view : views_()) {
    QWaylandClient* client = view->surface() ? view->surface()->client() : nullptr;
    if (client && !output_->resourceForClient(client) && !movingUntil_.hasExpired()) {
      unbound = true;
      continue;
    }
    view->setOutput(output_);
  }
  if (unbound) return;
  // Where a window enters an output is said with its frame callbacks: its
  // client draws at the output's scale from then on.
  output_->sendFrameCallbacks();
  moving_.stop();
  for (QWaylandOutput* old : retiring_) delete old;
  retiring_.clear();
}

}  // namespace platform::display
