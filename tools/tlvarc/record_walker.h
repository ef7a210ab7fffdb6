// Walks the decoded node stream of an archive without a device: every
// record is read, checked against the format and handed to a visitor. File
// content is streamed to the visitor (or skipped) in pieces, so an archive
// of any size is walked in constant memory. The first damage found ends the
// walk with a message naming the record's device path and the offset in the
// decoded stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive_file.h"
#include "node_records.h"
#include "status.h"

namespace tlvarc {

struct NodeInfo {
  int32_t type = 0;
  std::u16string name;
  std::u16string path;        // the device path: \Windows\a.txt, HKEY_LOCAL_MACHINE\init, DATABASE\Contacts
  std::u16string class_name;  // registry keys and roots
  uint64_t offset = 0;        // decoded offset of the record's type code
  int depth = 0;              // the root is 0
};

// The fields of file and database records, as the format reads them.
using archive::DatabaseFields;
using archive::FileFields;
using archive::SortOrder;

// One record of a database: the property buffer as the archive holds it,
// string and blob pointers stored as offsets from the buffer's start.
struct DbRecord {
  uint32_t index = 0;  // 1-based position in its database
  uint16_t property_count = 0;
  std::vector<uint8_t> buffer;
};

// The content of the file record being visited.
class ContentReader {
 public:
  ContentReader(ArchiveFile* archive, const NodeInfo& node, uint64_t size) : archive_(archive), node_(node), left_(size) {}
  // Reads up to `capacity` bytes (less only at the end of the content).
  Status Read(void* buffer, size_t capacity, size_t* got);
  uint64_t Remaining() const { return left_; }
  // Drops whatever the visitor did not read.
  Status Skip();

 private:
  ArchiveFile* archive_;
  const NodeInfo& node_;
  uint64_t left_;
};

class RecordVisitor {
 public:
  virtual ~RecordVisitor() = default;
  // Containers: the root, folders, registry roots and keys, the database folder.
  virtual Status Enter(const NodeInfo&) { return {}; }
  virtual Status Leave(const NodeInfo&) { return {}; }
  virtual Status File(const NodeInfo&, const FileFields&, ContentReader&) { return {}; }
  virtual Status RegValue(const NodeInfo&, uint32_t /*type*/, const std::vector<uint8_t>& /*data*/) { return {}; }
  virtual Status Database(const NodeInfo&, const DatabaseFields&) { return {}; }
  virtual Status Record(const NodeInfo& /*database*/, const DbRecord&) { return {}; }
  virtual Status DatabaseEnd(const NodeInfo&) { return {}; }
};

class RecordWalker {
 public:
  explicit RecordWalker(ArchiveFile* archive) : archive_(archive) {}
  // Walks the whole node stream and checks that nothing follows the root.
  Status Walk(RecordVisitor* visitor);

 private:
  Status ReadRecord(const NodeInfo& parent, RecordVisitor* visitor, std::vector<NodeInfo>* stack);
  Status ReadFile(NodeInfo& node, RecordVisitor* visitor);
  Status ReadValue(NodeInfo& node, RecordVisitor* visitor);
  Status ReadDatabase(NodeInfo& node, RecordVisitor* visitor);
  Status ReadDbRecord(const NodeInfo& db, uint32_t index, uint16_t count, DbRecord* record);

  // A format result as the walker reports it: damage at `path` and
  // `offset`, or the host's read error when that is what cut it short.
  Status Checked(const archive::Result& result, const std::u16string& path, uint64_t offset);
  // A counted string with all the units the archive stored.
  Status ReadText(archive::Field field, int32_t kind, const std::u16string& path, std::u16string* text);
  Status ReadGrowing(const NodeInfo& node, archive::Field field, size_t size, std::vector<uint8_t>* out);

  ArchiveFile* archive_;
};

// What went wrong where, as every damage message says it.
Status DamageAt(const std::u16string& path, uint64_t offset, const std::string& what);

}  // namespace tlvarc
