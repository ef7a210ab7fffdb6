// The kernel's view of the local heap: which allocation a pointer lies in,
// so a device address found in a record buffer can be resolved against the
// allocation that holds the buffer, and checked against its end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cedev {

// True when `p` lies inside a live LocalAlloc block; gives its start and size.
bool FindLocalBlock(const void* p, const uint8_t** start, size_t* size);

}  // namespace cedev
