// The coder's two scans over a block of input, eight bytes at a time: how
// far a run goes, and where the next pair of equal neighbours starts. They
// decide every packet boundary, so their tests pin them on fixed inputs.
#pragma once

#include <cstdint>
#include <cstring>

namespace archive {

// Length of the leading stretch of `data` made of `value` only.
inline int32_t EqualSpan(const uint8_t* data, int32_t count, uint8_t value) {
  int32_t i = 0;
  if (count >= 8) {
    uint64_t pattern = 0x0101010101010101ull * value;
    while (i + 8 <= count) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      if (word != pattern) break;
      i += 8;
    }
  }
  while (i < count && data[i] == value) ++i;
  return i;
}

// Smallest index j in [from, count) whose byte equals the one before it, or
// count. Compares eight neighbour pairs at a time: a zero byte in
// word(j) ^ word(j - 1) marks a pair, and the lowest flagged byte of the
// classic zero-byte test is always a true zero.
inline int32_t FirstRepeat(const uint8_t* data, int32_t from, int32_t count) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  int32_t j = from;
  for (; j + 8 <= count; j += 8) {
    uint64_t here, before;
    std::memcpy(&here, data + j, 8);
    std::memcpy(&before, data + j - 1, 8);
    uint64_t diff = here ^ before;
    uint64_t zeros = (diff - kOnes) & ~diff & kHighs;
    if (zeros) return j + int32_t(__builtin_ctzll(zeros) / 8);
  }
  for (; j < count; ++j)
    if (data[j] == data[j - 1]) return j;
  return count;
}

}  // namespace archive
