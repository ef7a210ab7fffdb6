// What the registry and the databases take of the object store, for the
// free-space figures of "\" and for the store's capacity check.
#pragma once

#include <cstdint>

namespace cedev {

// Bytes of names, class names and value data (UTF-16 names) of the registry.
uint64_t RegistryBytesUsed();
// Bytes of the databases' records in device layout, plus their descriptions.
uint64_t DatabaseBytesUsed();

}  // namespace cedev
