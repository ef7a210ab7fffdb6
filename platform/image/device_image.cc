#include "device_image.h"

namespace cedev {

std::vector<uint8_t> SzBytes(std::u16string_view text) {
  std::vector<uint8_t> out;
  out.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::vector<uint8_t> MultiSzBytes(const std::vector<std::u16string>& items) {
  std::vector<uint8_t> out;
  for (const auto& item : items) {
    auto bytes = SzBytes(item);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  // The list ends with an empty string; an empty list is that terminator alone.
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::vector<uint8_t> DwordBytes(DWORD value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

}  // namespace cedev
