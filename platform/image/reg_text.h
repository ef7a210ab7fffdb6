// Host-side helpers for the device tool: the registry as REGEDIT text, values
// typed on a command line, the databases as readable text, and the registry
// and database parts of the factory image. They work on the current device
// (Device::Use) and report failures as text naming the key or database.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ce/registry.h"
#include "sql.h"

namespace cedev {

// "HKEY_LOCAL_MACHINE\Software\X" (or the short root names HKLM, HKCU, HKCR,
// HKU) split into the root handle and the path below it.
bool SplitRegistryPath(std::string_view path, HKEY* root, std::u16string* subkey, std::string* error);

// The key (with its subkeys) in the REGEDIT 5 text format, UTF-8; an empty
// path exports all four roots. Data comes out exactly: a string value that
// is not a terminated UTF-16 string, or a DWORD that is not 4 bytes, is
// written as typed hex.
bool ExportRegistry(std::string_view key_path, std::string* out, std::string* error);
// The right-hand side of one value line: "text", dword:0000002a, hex(7):...
std::string FormatRegValue(DWORD type, const std::vector<uint8_t>& data);

// A value as given to `reg set KEY NAME TYPE DATA`: TYPE is sz, expand_sz,
// multi_sz (strings separated by the two characters \0), dword (decimal or
// 0x hex) or binary (hex digits, optionally separated by commas or spaces).
bool ParseRegValue(std::string_view type, std::string_view data, DWORD* reg_type, std::vector<uint8_t>* bytes,
                   std::string* error);

// `db list`: one line per database. `db dump [NAME]`: every database (or the
// one named) with its records and their properties.
bool ListDatabases(std::string* out, std::string* error);
bool DumpDatabases(std::string_view name, std::string* out, std::string* error);

// Copies every registry and database row of the current device's state.db
// into `factory_db` (replacing what it held), and back (replacing the
// device's registry and databases: the full reset).
bool SaveRegistryAndDatabasesToFactory(const std::filesystem::path& factory_db, std::string* error);
bool RestoreRegistryAndDatabasesFromFactory(const std::filesystem::path& factory_db, std::string* error);

}  // namespace cedev
