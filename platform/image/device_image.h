// A device image: the folders, files, registry and databases that make up a
// device's content, described as plain data. The sample device is one such
// description; WriteDeviceImage puts a description onto the current device
// through the device API, so every metadata row is made the way a program
// would make it.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "ce/types.h"

namespace cedev {

// Registry value types, with their documented numbers.
enum class RegType : DWORD {
  kNone = 0,
  kSz = 1,
  kExpandSz = 2,
  kBinary = 3,
  kDword = 4,
  kMultiSz = 7,
};

// Database property types (the low word of a property id).
enum class PropType : WORD {
  kI2 = 2,
  kI4 = 3,
  kUi2 = 18,
  kUi4 = 19,
  kString = 31,
  kFiletime = 64,
  kBlob = 65,
};

inline constexpr DWORD kAttrReadOnly = 0x1;
inline constexpr DWORD kAttrHidden = 0x2;
inline constexpr DWORD kAttrSystem = 0x4;
inline constexpr DWORD kAttrArchive = 0x20;
inline constexpr DWORD kAttrInRom = 0x40;
inline constexpr DWORD kAttrNormal = 0x80;

struct ImageFolder {
  std::u16string path;   // device path, e.g. u"\\My Documents\\Personal"
  DWORD attributes = 0;  // extra bits besides FILE_ATTRIBUTE_DIRECTORY
  uint64_t time = 0;     // creation and last-write time, FILETIME ticks; 0: when written
};

struct ImageFile {
  std::u16string path;
  std::vector<uint8_t> data;
  DWORD attributes = kAttrArchive;  // kAttrInRom marks a file of the ROM
  uint64_t write_time = 0;           // FILETIME ticks
  uint64_t create_time = 0;
};

struct ImageValue {
  std::u16string name;  // empty: the key's default value
  RegType type = RegType::kSz;
  std::vector<uint8_t> data;
};

enum class RegRoot : uint32_t {
  kClassesRoot = 0x80000000u,
  kCurrentUser = 0x80000001u,
  kLocalMachine = 0x80000002u,
  kUsers = 0x80000003u,
};

struct ImageKey {
  RegRoot root = RegRoot::kLocalMachine;
  std::u16string path;        // below the root, e.g. u"Drivers\\BuiltIn\\Serial"
  std::u16string class_name;  // RegCreateKeyExW's class, may be empty
  std::vector<ImageValue> values;
};

struct ImageProp {
  WORD id = 0;  // the high word of the property id
  PropType type = PropType::kI4;
  // kI2/kUi2/kI4/kUi4 and kFiletime use number; kString text; kBlob bytes.
  int64_t number = 0;
  std::u16string text;
  std::vector<uint8_t> bytes;

  DWORD PropId() const { return (static_cast<DWORD>(id) << 16) | static_cast<WORD>(type); }
};

struct ImageSortOrder {
  WORD prop_id_high = 0;
  PropType type = PropType::kString;
  DWORD flags = 0;  // CEDB_SORT_* bits
  DWORD PropId() const { return (static_cast<DWORD>(prop_id_high) << 16) | static_cast<WORD>(type); }
};

struct ImageDatabase {
  std::u16string name;
  DWORD type = 0;
  std::vector<ImageSortOrder> sort_orders;  // at most four
  std::vector<std::vector<ImageProp>> records;
};

struct DeviceImage {
  std::vector<ImageFolder> folders;  // parents before children
  std::vector<ImageFile> files;
  std::vector<ImageKey> keys;  // parents before children
  std::vector<ImageDatabase> databases;
};

// Text helpers for building images: UTF-16LE bytes of a string with its
// terminator (REG_SZ data), of a list (REG_MULTI_SZ), and of a DWORD.
std::vector<uint8_t> SzBytes(std::u16string_view text);
std::vector<uint8_t> MultiSzBytes(const std::vector<std::u16string>& items);
std::vector<uint8_t> DwordBytes(DWORD value);

// Writes `image` onto the current device through the device API. Folders
// and files first (ROM marks and folder times last, since ROM files cannot
// be written and every new file touches its folder), then registry keys and
// values, then databases. On failure `error` names the
// item and the device error code.
bool WriteDeviceImage(const DeviceImage& image, std::string* error);

}  // namespace cedev
