// The display's windows, the one in front last: which one shows, which
// takes the front when the one there ends, and the home screen's overlays
// (its status bar, its banners), which lie over whichever window is in
// front and are never in front themselves. Pure: a window is any type with
// the `pid` of its process and an `overlay` flag.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform::display {

template <class Window>
class WindowStack {
 public:
  // A new window comes to front.
  Window* push(std::unique_ptr<Window> w) {
    windows_.push_back(std::move(w));
    return windows_.back().get();
  }
  // The window in front: the latest one raised that is not an overlay.
  Window* front() const {
    return findFromFront([](const Window& w) { return !w.overlay; });
  }
  // The overlays, bottom first: drawn in this order over the front.
  std::vector<Window*> overlays() const {
    std::vector<Window*> out;
    for (auto& w : windows_)
      if (w->overlay) out.push_back(w.get());
    return out;
  }
  // Makes `w` an overlay; only the home screen's (process `homePid`) may
  // lie over other processes' windows. Answers whether it became one.
  bool makeOverlay(Window* w, int64_t homePid) {
    if (!w || w->overlay || homePid <= 0 || w->pid != homePid) return false;
    w->overlay = true;
    return true;
  }
  // Where a touch goes: the top-most overlay that `takes` it, else the
  // window in front.
  template <class Takes>
  Window* touched(Takes takes) const {
    if (Window* o = findFromFront([&](const Window& w) { return w.overlay && takes(w); })) return o;
    return front();
  }

  // The first window, front first, that `match` holds for.
  template <class Match>
  Window* findFromFront(Match match) const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
      if (match(**it)) return it->get();
    return nullptr;
  }
  // The latest window of process `pid` that can be in front, should it
  // have several; none for no process (0: unknown).
  Window* latestOf(int64_t pid) const {
    return pid <= 0 ? nullptr : findFromFront([pid](const Window& w) { return w.pid == pid && !w.overlay; });
  }

  // Brings `w` to front; false when it is not in the stack.
  bool raise(const Window* w) {
    auto it = std::find_if(windows_.begin(), windows_.end(), [w](auto& p) { return p.get() == w; });
    if (it == windows_.end()) return false;
    std::rotate(it, it + 1, windows_.end());
    return true;
  }

  // Removes `w`. One in front leaves the front to the latest other window
  // of its process, else to the home screen's (process `homePid`), as on a
  // phone; not to whatever app happened to be below it. Answers whether
  // the front changed.
  bool remove(const Window* w, int64_t homePid) {
    auto it = std::find_if(windows_.begin(), windows_.end(), [w](auto& p) { return p.get() == w; });
    if (it == windows_.end()) return false;
    const bool wasFront = it->get() == front();  // never an overlay
    const int64_t pid = (*it)->pid;
    windows_.erase(it);
    if (!wasFront) return false;
    Window* next = latestOf(pid);
    if (!next) next = latestOf(homePid);
    if (next) raise(next);
    return true;
  }

  const std::vector<std::unique_ptr<Window>>& all() const { return windows_; }  // front last
  void clear() { windows_.clear(); }

 private:
  std::vector<std::unique_ptr<Window>> windows_;
};

}  // namespace platform::display
