// Archive integers are little-endian whatever the host: these are the only
// place that spells out their byte order.
#pragma once

#include <cstdint>

namespace archive {

inline uint16_t GetLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t GetLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t GetLe64(const uint8_t* p) { return uint64_t(GetLe32(p)) | uint64_t(GetLe32(p + 4)) << 32; }

inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void PutLe64(uint8_t* p, uint64_t v) {
  PutLe32(p, uint32_t(v));
  PutLe32(p + 4, uint32_t(v >> 32));
}

}  // namespace archive
