#include "platform/foundation/base64.h"

#include <array>
#include <cstdint>

namespace platform {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int8_t kNotInAlphabet = -1;
constexpr int8_t kPad = -2;

constexpr std::array<int8_t, 256> makeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& v : table) v = kNotInAlphabet;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  table['='] = kPad;
  return table;
}

constexpr std::array<int8_t, 256> kDecode = makeDecodeTable();

}  // namespace

std::string base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8) | p[i + 2];
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (size_t rest = n - i) {
    uint32_t v = uint32_t(p[i]) << 16;
    if (rest == 2) v |= uint32_t(p[i + 1]) << 8;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::optional<std::string> base64Decode(std::string_view text, Base64Decoding mode) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t acc = 0;
  int held = 0;  // sextets in acc
  int pads = 0;
  for (char c : text) {
    int8_t v = kDecode[static_cast<unsigned char>(c)];
    if (v == kNotInAlphabet) {
      if (mode == Base64Decoding::Strict) return std::nullopt;
      continue;
    }
    if (v == kPad) {
      ++pads;
      continue;
    }
    if (pads > 0) return std::nullopt;  // data after padding
    acc = (acc << 6) | static_cast<uint32_t>(v);
    if (++held == 4) {
      out.push_back(static_cast<char>((acc >> 16) & 0xff));
      out.push_back(static_cast<char>((acc >> 8) & 0xff));
      out.push_back(static_cast<char>(acc & 0xff));
      acc = 0;
      held = 0;
    }
  }
  // A lone sextet carries no whole byte; padding, when present, must fill the
  // last group exactly.
  if (held == 1) return std::nullopt;
  if (pads > 0 && (held == 0 || held + pads != 4)) return std::nullopt;
  if (held == 2) {
    out.push_back(static_cast<char>((acc >> 4) & 0xff));
  } else if (held == 3) {
    out.push_back(static_cast<char>((acc >> 10) & 0xff));
    out.push_back(static_cast<char>((acc >> 2) & 0xff));
  }
  return out;
}

}  // namespace platform
