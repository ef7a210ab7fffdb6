// What a codec or a validity rule found: nothing, or one problem with the
// field it met it in and the number it is about. Plain values, no job
// status: the engine turns them into the job status, tlvarc into messages.
#pragma once

#include <cstdint>
#include <string>

namespace archive {

enum class Problem : uint8_t {
  kNone = 0,
  kEnded,              // the archive ends inside `field`
  kWriteFailed,        // the stream took fewer bytes than given
  kUnknownVersion,     // value: the version
  kNotRoot,            // the first record; value: its type code
  kUnknownType,        // value: the type code
  kMisplaced,          // `kind` cannot stand in a record of type `value`
  kTooDeep,            // deeper than kMaxDepth below the root
  kTopFolderName,      // the folder below the root is not "\"
  kEmptyName,
  kNotAFileName,       // "." or ".."
  kSeparatorInName,    // a backslash (or, for files, a slash)
  kForbiddenInName,    // a control unit or a character the device refuses
  kZeroInName,         // a unit 0 inside a registry or database name
  kNameTooLong,        // value: the length
  kPathTooLong,        // value: the length
  kNotRegistryRoot,
  kValueTooLarge,      // value: the length
  kTooManySortOrders,  // value: the count
  kUnknownSortType,    // index: the sort order (from 1); value: its property's type
  kRecordTooLarge,     // value: the size
  kRecordTooSmall,     // value: the size; index: the property count
  kUnknownPropertyType,  // index: the property (from 1); value: its type
  kStringOutside,      // index: the property; its string leaves the record's data
  kBlobOutside,        // index: the property; its blob leaves the record's data
  kPropertyTooLarge,   // index: the property; value: its data's size
  kTrailingData,       // whole packets follow the end of the root
  kTrailingPacket,     // part of a packet follows the end of the root
};

// The field a short read met, for the messages.
enum class Field : uint8_t {
  kNone = 0,
  kVersion,
  kHeaderBlock,
  kTypeCode,       // of the first record
  kChildTypeCode,  // of a record inside `kind`: the container is not closed
  kName,
  kClassName,
  kFileFields,
  kFileContent,
  kValueType,
  kValueLength,
  kValueData,
  kDatabaseType,
  kSortOrderCount,
  kSortOrders,
  kRecordList,
  kRecordSize,
  kRecordProperties,
};

struct Result {
  Problem problem = Problem::kNone;
  Field field = Field::kNone;
  int32_t kind = 0;     // type code of the record the problem belongs to
  uint32_t value = 0;   // the number the problem is about
  uint32_t index = 0;   // a property's position in its record, from 1

  bool ok() const { return problem == Problem::kNone; }
};

inline Result Ok() { return {}; }
inline Result Ended(Field field, int32_t kind) { return {Problem::kEnded, field, kind, 0, 0}; }
inline Result Found(Problem problem, int32_t kind, uint32_t value = 0, uint32_t index = 0) {
  return {problem, Field::kNone, kind, value, index};
}

// "root", "folder", "registry key" ...: how messages name a record type.
const char* KindName(int32_t type);
// One line saying what is wrong, as a person reads it.
std::string Describe(const Result& result);

}  // namespace archive
