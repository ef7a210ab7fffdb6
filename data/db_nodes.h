// The object-store databases in the data archive: a folder node
// "DATABASE" holding one node per database with its description (type and
// sort orders) and all its records. A record's property buffer travels as
// the platform lays it out, with its string and blob pointers turned into
// offsets from the buffer's start. A restore replaces each archived
// database whole; databases the archive lacks are left alone.
#pragma once

#include <windows.h>

#include "backup_node.h"

class MDatabaseFolderNode : public MContainerNode {
 public:
  explicit MDatabaseFolderNode(MNamedNode* parent);                 // backup
  MDatabaseFolderNode(MNamedNode* parent, MArchiveStream* stream);  // restore
  BOOL AcceptsParent(MBackupNode* parent) override;
  BOOL CollectChildren() override;
};

class MDatabaseNode : public MNamedNode {
 public:
  MDatabaseNode(MNamedNode* parent, const CEDBASEINFO& info);  // backup
  MDatabaseNode(MNamedNode* parent, MArchiveStream* stream);   // restore
  BOOL IsValid() override;
  BOOL Save(MArchiveStream* stream) override;
  BOOL Restore(MArchiveStream* stream) override;
  BOOL AcceptsParent(MBackupNode* parent) override;
  virtual BOOL RestoreRecords(MArchiveStream* stream, HANDLE database);

  // The record buffer's string and blob pointers to offsets from its start
  // and back. OffsetsToPointers checks every offset against the buffer's
  // `size` and answers FALSE when one points outside it.
  static void PointersToOffsets(BYTE* buffer, WORD propertyCount);
  static BOOL OffsetsToPointers(BYTE* buffer, WORD propertyCount, DWORD size);

  WORD SortOrderCount() const { return sortOrderCount; }
  DWORD DatabaseType() const { return databaseType; }

 private:
  BOOL SaveRecords(MArchiveStream* stream);
  BOOL RemoveAllRecords();

  BOOL infoValid;
  WORD sortOrderCount;
  SORTORDERSPEC sortOrders[CEDB_MAXSORTORDER];
  DWORD databaseType;
};
