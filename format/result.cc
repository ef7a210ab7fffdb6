#include "result.h"

#include <cstdio>

#include "archive_format.h"

namespace archive {
namespace {

std::string Hex(uint32_t value, bool padded = false) {
  char text[16];
  std::snprintf(text, sizeof text, padded ? "0x%08X" : "0x%X", unsigned(value));
  return text;
}

std::string Number(uint32_t value) { return std::to_string(value); }

std::string FieldName(Field field, int32_t kind) {
  switch (field) {
    case Field::kTypeCode: return std::string(KindName(kind)) + "'s type code";
    case Field::kName: return std::string(KindName(kind)) + "'s name";
    case Field::kClassName: return "class name";
    case Field::kFileFields: return "file's fields";
    case Field::kFileContent: return "file's content";
    case Field::kValueType: return "value's type";
    case Field::kValueLength: return "value's length";
    case Field::kValueData: return "value's data";
    case Field::kDatabaseType: return "database type";
    case Field::kSortOrderCount: return "sort order count";
    case Field::kSortOrders: return "sort orders";
    case Field::kRecordList: return "record list";
    case Field::kRecordSize: return "record's size";
    case Field::kRecordProperties: return "record's properties";
    default: return "record";
  }
}

std::string DescribeEnd(const Result& r) {
  switch (r.field) {
    case Field::kVersion: return "too short for an archive header";
    case Field::kHeaderBlock: return "the header ends early";
    case Field::kChildTypeCode: return std::string("the archive ends before the ") + KindName(r.kind) + " is closed";
    default: return "the archive ends inside the " + FieldName(r.field, r.kind);
  }
}

bool IsRegistryName(int32_t kind) { return kind == kNodeRegKey || kind == kNodeRegValue || kind == kNodeRegRoot; }

std::string DescribeName(const Result& r) {
  switch (r.problem) {
    case Problem::kTopFolderName: return "the top folder must be named \\";
    case Problem::kEmptyName:
      return r.kind == kNodeRegKey ? "empty key name" : r.kind == kNodeDatabase ? "empty database name" : "empty name";
    case Problem::kNotAFileName: return "the name . or .. is not a file name";
    case Problem::kSeparatorInName:
      return r.kind == kNodeRegKey ? "the key name holds a backslash" : "the name holds a path separator";
    case Problem::kForbiddenInName: return "the name holds a character the device refuses in names";
    case Problem::kZeroInName: return "the name holds a zero unit";
    case Problem::kNameTooLong:
      if (r.kind == kNodeDatabase) return "database name longer than " + Number(kMaxDatabaseNameUnits) + " characters";
      return "name longer than " + Number(IsRegistryName(r.kind) ? kMaxRegistryNameUnits : kMaxPathUnits) + " characters";
    case Problem::kPathTooLong: return "path longer than " + Number(kMaxPathUnits) + " characters";
    case Problem::kNotRegistryRoot: return "not a registry root";
    default: return "";
  }
}

}  // namespace

const char* KindName(int32_t type) {
  switch (type) {
    case kNodeRoot: return "root";
    case kNodeDirectory: return "folder";
    case kNodeFile: return "file";
    case kNodeRegRoot: return "registry root";
    case kNodeRegKey: return "registry key";
    case kNodeRegValue: return "registry value";
    case kNodeDbFolder: return "database folder";
    case kNodeDatabase: return "database";
    default: return "record";
  }
}

std::string Describe(const Result& r) {
  std::string property = "property " + Number(r.index);
  switch (r.problem) {
    case Problem::kNone: return "";
    case Problem::kEnded: return DescribeEnd(r);
    case Problem::kWriteFailed: return "cannot write the archive";
    case Problem::kUnknownVersion: return "unknown format version " + Hex(r.value, true) + " at offset 0";
    case Problem::kNotRoot: return "the first record is not the root (type code " + Hex(r.value) + ")";
    case Problem::kUnknownType: return "unknown type code " + Hex(r.value);
    case Problem::kMisplaced:
      return std::string("a ") + KindName(r.kind) + " record cannot stand in a " + KindName(int32_t(r.value));
    case Problem::kTooDeep: return "nesting deeper than " + Number(kMaxDepth) + " levels";
    case Problem::kValueTooLarge: return "a value of " + Number(r.value) + " bytes is larger than any registry value";
    case Problem::kTooManySortOrders:
      return Number(r.value) + " sort orders (a database has at most " + Number(kMaxSortOrders) + ")";
    case Problem::kUnknownSortType:
      return "sort order " + Number(r.index) + " sorts by the unknown value type " + Number(r.value);
    case Problem::kPropertyTooLarge:
      return property + ": its " + Number(r.value) + " bytes are more than a property holds";
    case Problem::kRecordTooLarge: return "a record of " + Number(r.value) + " bytes is larger than any record";
    case Problem::kRecordTooSmall:
      return "a buffer of " + Number(r.value) + " bytes cannot hold " + Number(r.index) + " properties";
    case Problem::kUnknownPropertyType: return property + " has the unknown value type " + Number(r.value);
    case Problem::kStringOutside: return property + ": its string runs past the end of the record or into its entries";
    case Problem::kBlobOutside: return property + ": its blob runs past the end of the record or into its entries";
    case Problem::kTrailingData: return "data follows the end of the root";
    case Problem::kTrailingPacket: return "an incomplete packet follows the end of the root";
    default: return DescribeName(r);
  }
}

}  // namespace archive
