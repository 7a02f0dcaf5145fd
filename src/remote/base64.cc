#include "remote/base64.h"

#include <array>

namespace qx {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> MakeValueTable() {
  std::array<int8_t, 256> values{};
  values.fill(kNotInAlphabet);
  for (int i = 0; i < 64; ++i) values[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return values;
}
constexpr std::array<int8_t, 256> kValues = MakeValueTable();

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string Base64Encode(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += kAlphabet[(group >> 6) & 63];
    text += kAlphabet[group & 63];
  }
  size_t left = bytes.size() - i;
  if (left == 1) {
    uint32_t group = bytes[i] << 16;
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += "==";
  } else if (left == 2) {
    uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8);
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += kAlphabet[(group >> 6) & 63];
    text += '=';
  }
  return text;
}

std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text, size_t max_output) {
  std::vector<uint8_t> out;
  uint32_t group = 0;
  int in_group = 0;   // characters of the current group
  int padding = 0;    // "=" seen so far
  int needed_padding = 0;
  for (char c : text) {
    if (IsWhiteSpace(c)) continue;
    if (c == '=') {
      if (padding == 0) {
        if (in_group < 2) return std::nullopt;
        needed_padding = 4 - in_group;
      }
      if (++padding > needed_padding) return std::nullopt;
      continue;
    }
    if (padding > 0) return std::nullopt;
    int8_t value = kValues[static_cast<uint8_t>(c)];
    if (value == kNotInAlphabet) return std::nullopt;
    group = (group << 6) | static_cast<uint32_t>(value);
    if (++in_group == 4) {
      if (out.size() + 3 > max_output) return std::nullopt;
      out.push_back(static_cast<uint8_t>(group >> 16));
      out.push_back(static_cast<uint8_t>(group >> 8));
      out.push_back(static_cast<uint8_t>(group));
      group = 0;
      in_group = 0;
    }
  }
  if (padding != needed_padding) return std::nullopt;
  if (in_group == 0) return out;
  if (padding == 0) return std::nullopt;
  size_t tail = static_cast<size_t>(in_group - 1);
  if (out.size() + tail > max_output) return std::nullopt;
  group <<= 6 * (4 - in_group);
  out.push_back(static_cast<uint8_t>(group >> 16));
  if (tail == 2) out.push_back(static_cast<uint8_t>(group >> 8));
  return out;
}

}  // namespace qx
