// Window handles as the window table numbers them: a 32-bit value in a
// pointer's place.
#pragma once

#include <cstdint>

#include "ce/types.h"

namespace cedev::gwes {

// The table's number of a handle; 0 for one that cannot be a window's.
inline uint32_t HandleValue(HWND hwnd) {
  auto v = reinterpret_cast<uintptr_t>(hwnd);
  return v <= 0x7FFFFFFFu ? static_cast<uint32_t>(v) : 0;
}
inline HWND ToHwnd(uint32_t handle) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }

}  // namespace cedev::gwes
