// Reads a fuzzer's input front to back: a few choice bytes, texts with a
// length byte, and whatever is left as a file. A simple layout, so that the
// seed files of fuzz/corpus/ can be written by hand (make_seeds.py).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace fuzzing {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(reinterpret_cast<const char*>(data)), size_(size) {}

  // The next byte; 0 once the input is used up.
  uint8_t byte() { return at_ < size_ ? static_cast<uint8_t>(data_[at_++]) : 0; }
  bool flag() { return byte() & 1; }
  // A text of up to 255 bytes, preceded by its length.
  std::string text() {
    size_t n = byte();
    std::string s(data_ + at_, std::min(n, size_ - at_));
    at_ += s.size();
    return s;
  }
  // One byte chooses: one of `choices`, a text of the input, or nothing.
  std::optional<std::string> oneOf(std::initializer_list<const char*> choices) {
    size_t b = byte() % (choices.size() + 2);
    if (b < choices.size()) return std::string(choices.begin()[b]);
    if (b == choices.size()) return text();
    return std::nullopt;
  }
  std::string_view rest() {
    std::string_view r(data_ + at_, size_ - at_);
    at_ = size_;
    return r;
  }

 private:
  const char* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace fuzzing
