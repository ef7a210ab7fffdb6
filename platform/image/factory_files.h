// The file half of the factory image: factory/store holds copies of the
// store's files and folders with their last-write times, and the metadata
// rows under the keys "factory/store/..." hold what the host cannot.
#pragma once

#include <filesystem>
#include <string>

namespace cedev {

class Device;

// Copies the live store (files and rows) into the factory image.
bool SaveFactoryFiles(Device& device, std::string* error);
// Replaces the live store (files and rows) with the factory image.
bool RestoreFactoryFiles(Device& device, std::string* error);

// Copies a host folder tree, keeping every last-write time to the
// nanosecond (the device's last-write time is the host mtime). Symbolic
// links are not followed and not copied.
bool CopyTreeKeepingTimes(const std::filesystem::path& from, const std::filesystem::path& to, std::string* error);

}  // namespace cedev
