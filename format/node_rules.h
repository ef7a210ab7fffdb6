// What makes a node record valid, decided once for the device's restore and
// for the host tools: which record may stand where, what its name may be,
// and what a database record's property buffer must look like. A restore
// refuses a record these rules refuse before it touches the device for it;
// `tlvarc verify` calls an archive sound only when every record passes.
#pragma once

#include <cstdint>
#include <string_view>

#include "result.h"

namespace archive {

// The type codes of records other than the end marker.
bool IsKnownNodeType(uint32_t type);
bool IsContainerType(int32_t type);

// The first record of a node stream must be the root.
Result CheckFirstRecord(uint32_t type);
// A record of `type` read inside a container of `parentType`, `depth`
// levels below the root (its children are at depth 1): a known type, in a
// container that may hold it, not too deep.
Result CheckPlacement(int32_t parentType, uint32_t type, int depth);
// The record's own name. Folders and files are plain entries of a folder
// (but the one folder below the root, "\"); registry roots are the four
// predefined keys; key names hold no backslash; registry and database names
// keep the device's lengths. A name is given with all its units, so a unit
// 0 inside it counts.
Result CheckName(int32_t parentType, int32_t type, std::u16string_view name);
// A registry key's class name.
Result CheckClassName(std::u16string_view name);
// The device path a folder or file record stands for.
Result CheckPathLength(int32_t type, size_t units);

// The four predefined registry roots in archive order, and the index of a
// name among them (without regard to case), or -1.
constexpr int kRegistryRootCount = 4;
extern const char16_t* const kRegistryRootNames[kRegistryRootCount];
int RegistryRootIndex(std::u16string_view name);

}  // namespace archive
