// The layout of an extraction folder, shared by extract (which writes it)
// and create (which packs it again).
//
//   DIR/archive.json     version, platform name, root name, order of the parts
//   DIR/files/           the file tree ("\" is this folder itself)
//   DIR/files.manifest   one JSON object a line, in archive order: a folder
//                        ({"folder": name, "host": host name}), a file (name,
//                        host name, attributes, the three times as FILETIME
//                        ticks, size) or the end of a folder ({"end": true})
//   DIR/registry.reg     the registry (see reg_file.h)
//   DIR/databases.json   the database folder, its databases and their records
#pragma once

namespace tlvarc::layout {

constexpr const char* kArchiveJson = "archive.json";
constexpr const char* kFilesDir = "files";
constexpr const char* kManifest = "files.manifest";
constexpr const char* kRegistry = "registry.reg";
constexpr const char* kDatabases = "databases.json";

// Names of the parts in archive.json's "parts" list.
constexpr const char* kPartFiles = "files";
constexpr const char* kPartRegistry = "registry";
constexpr const char* kPartDatabases = "databases";

}  // namespace tlvarc::layout
