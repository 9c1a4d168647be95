// The frames the display shows, shared with the device window through a
// file of its run/ folder mapped by both: two slots, so that the window
// reads the latest frame while the display writes the next. Which slot is
// current, and its size, travel in the display's answer to "frame"; the
// pixels never pass through a socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace platform::display {

inline constexpr const char* kFrameFileName = "display.frames";

struct FrameSize {
  int width = 0, height = 0, stride = 0;  // stride in bytes; 4 bytes a pixel
  size_t bytes() const { return static_cast<size_t>(stride) * static_cast<size_t>(height); }
};

class FrameFile {
 public:
  // The display's end: RUN_DIR/display.frames made anew, mode 0600, with
  // two slots of `slotBytes`. Nothing, with the reason in `why`, when it
  // cannot be made.
  static std::optional<FrameFile> create(const std::filesystem::path& runDir, size_t slotBytes, std::string* why);
  // The window's end, read only: refused unless it is a regular file of
  // this user's, not a link, of the size its header says.
  static std::optional<FrameFile> open(const std::filesystem::path& runDir, std::string* why);
  FrameFile(FrameFile&& other) noexcept;
  FrameFile& operator=(FrameFile&&) = delete;
  ~FrameFile();

  size_t slotBytes() const;
  // Copies a frame into `slot` (0 or 1); false when it does not fit.
  bool write(int slot, const FrameSize& size, const uint8_t* pixels);
  // The pixels of `slot` for a frame of `size`; empty when out of bounds.
  std::span<const uint8_t> read(int slot, const FrameSize& size) const;
  // The same, to draw over a frame once written: the display's end only.
  std::span<uint8_t> pixels(int slot, const FrameSize& size);

 private:
  FrameFile(void* map, size_t length) : map_(map), length_(length) {}
  void* map_;
  size_t length_;
};

}  // namespace platform::display
