// Conformance checks for the device API: a call's result and the last error
// it left, with a sentinel set beforehand so an error the call never set
// does not pass for one it did. The same sentinels fill output parameters
// that a failing call must leave alone.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "ce/errors.h"
#include "ce/types.h"

namespace cedev {

constexpr DWORD kSentinel = 0xDEADBEEF;
inline const HKEY kSentinelKey = reinterpret_cast<HKEY>(uintptr_t{0xDEADBEEF});

}  // namespace cedev

#define EXPECT_FAILS_WITH(call, failure, error)                    \
  do {                                                             \
    SetLastError(::cedev::kSentinel);                              \
    EXPECT_EQ((call), (failure));                                  \
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error));          \
  } while (0)
