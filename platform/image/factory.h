// The factory image: the object store as it left the factory, kept in
// DIR/factory/ so a full reset can put it back.
//
//   factory/store/       the store's files and folders (host copies)
//   factory/factory.db   one row per store entry with what the host cannot
//                        hold (attributes incl. ROM, creation, last-access
//                        and last-write time), plus the registry and the
//                        databases as they were
//
// Volumes are not part of it: a full reset leaves them alone.
#pragma once

#include <filesystem>
#include <string>

namespace cedev {

// Saves the current device's object store as its factory image, replacing
// any earlier one.
bool SaveFactoryImage(std::string* error);

// Puts the object store back to the factory image: files and folders with
// their metadata rows, registry and databases. Programs must have ended.
bool RestoreFactoryImage(std::string* error);

bool HasFactoryImage();

}  // namespace cedev
