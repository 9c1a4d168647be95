// The frames the display shows, shared with the device window through
// memory both map: two slots, so that the window reads the latest frame
// while the display writes the next. Which slot is current, and its size,
// travel in the display's answer to "frame"; the pixels never pass through
// a socket. The memory is no file of run/ but an anonymous one sealed at its
// size, handed over the control socket ("frames"): no process can shrink
// it under a mapping, which would make the next frame fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/foundation/error.h"

namespace platform::display {

struct FrameSize {
  int width = 0, height = 0, stride = 0;  // stride in bytes; 4 bytes a pixel
  size_t bytes() const { return static_cast<size_t>(stride) * static_cast<size_t>(height); }
};

class FrameFile {
 public:
  // The display's end: new memory of two slots of `slotBytes`, sealed.
  static Result<FrameFile, std::string> create(size_t slotBytes);
  // The window's end, read only, from the descriptor the display handed
  // over (taken: closed here): refused unless it is sealed against
  // shrinking and of the size its header says.
  static Result<FrameFile, std::string> open(int fd);
  FrameFile(FrameFile&& other) noexcept;
  FrameFile& operator=(FrameFile&&) = delete;
  ~FrameFile();

  // The memory's descriptor, to hand to a window: the display's end only.
  int descriptor() const { return fd_; }
  size_t slotBytes() const { return slotBytes_; }
  // Copies a frame into `slot` (0 or 1); false when it does not fit.
  bool write(int slot, const FrameSize& size, const uint8_t* pixels);
  // The pixels of `slot` for a frame of `size`; empty when out of bounds.
  std::span<const uint8_t> read(int slot, const FrameSize& size) const;

 private:
  FrameFile(void* map, size_t length, size_t slot, int fd)
      : map_(map), length_(length), slotBytes_(slot), fd_(fd) {}
  void* map_;
  size_t length_;
  size_t slotBytes_;  // as read once: the header is not trusted after
  int fd_;  // the display's end keeps it to hand out; -1 at the window's
};

}  // namespace platform::display
