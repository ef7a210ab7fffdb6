// One codec per node record: the fields that follow a record's type code
// and name, written and read in archive order, with the limits of
// archive_format.h checked as they are read. The engine's nodes and tlvarc
// both read and write records through these, so a record has one layout.
//
//   root, database folder   type, name; children; end marker
//   folder                  type, name; children; end marker
//   file                    type, name, FileFields, `size` content bytes
//   registry root, key      type, name, class name; children; end marker
//   registry value          type, name, ValueHeader, `length` data bytes
//   database                type, name, DatabaseFields, record blocks, u16 0
//   record block            u16 property count (not 0), u32 size, property buffer
//   end marker              FF FF FF FF
#pragma once

#include <cstdint>
#include <string_view>

#include "archive_format.h"
#include "archive_stream.h"
#include "file_time.h"
#include "result.h"

class MRleStream;

namespace archive {

// The node header: type code, then the name as a counted string.
Result WriteNodeHeader(MArchiveStream* stream, int32_t type, std::u16string_view name);
Result WriteEndMarker(MArchiveStream* stream);
// The next type code: the first record's (field kTypeCode) or one inside
// the container `container` (kChildTypeCode).
Result ReadTypeCode(MArchiveStream* stream, Field field, int32_t container, uint32_t* type);
// A counted string in two steps (the caller allocates between them); a
// short read names `field` of the record `kind`.
Result ReadTextLength(MArchiveStream* stream, Field field, int32_t kind, uint16_t* length);
Result ReadTextUnits(MArchiveStream* stream, Field field, int32_t kind, char16_t* units, uint16_t length);
Result WriteText(MArchiveStream* stream, std::u16string_view text);

// File: attributes, the three times (low and high halves), the low 32 bits of the size.
struct FileFields {
  uint32_t attributes = 0;
  FileTime creation, access, write;
  uint32_t size = 0;
};
Result WriteFileFields(MArchiveStream* stream, const FileFields& fields);
Result ReadFileFields(MArchiveStream* stream, FileFields* fields);

// Registry value: its type as the registry reports it, and its data length.
struct ValueHeader {
  uint32_t type = 0;
  uint32_t length = 0;
};
Result WriteValueHeader(MArchiveStream* stream, const ValueHeader& header);
// Refuses a length no registry value can have.
Result ReadValueHeader(MArchiveStream* stream, ValueHeader* header);

// Database: its type and up to four sort orders.
struct SortOrder {
  uint32_t propid = 0;
  uint32_t flags = 0;
};
struct DatabaseFields {
  uint32_t type = 0;
  uint16_t sortCount = 0;
  SortOrder sorts[kMaxSortOrders] = {};
};
Result WriteDatabaseFields(MArchiveStream* stream, const DatabaseFields& fields);
// Refuses more than four sort orders.
Result ReadDatabaseFields(MArchiveStream* stream, DatabaseFields* fields);

// Record blocks of a database, ended by a count of 0.
Result WriteRecordHeader(MArchiveStream* stream, uint16_t count, uint32_t size);
Result WriteRecordsEnd(MArchiveStream* stream);
// The next block's property count; 0 ends the records.
Result ReadRecordCount(MArchiveStream* stream, uint16_t* count);
// The block's buffer size, checked against its property count.
Result ReadRecordSize(MArchiveStream* stream, uint16_t count, uint32_t* size);

// After the root's end marker the coded stream must end: nothing the
// decoder still holds, and no byte left in `coded`, its source.
Result CheckNodeStreamEnd(MRleStream* decoder, MArchiveStream* coded);

}  // namespace archive
