// The file system in the data archive: one directory node per folder, one
// file node per file. On backup a folder lists its entries (less what the
// exclusion rules keep out) and writes them depth-first; a file writes its
// attributes, times, size and content. On restore a folder is created if
// needed, its children are restored, and then every device entry the
// archive does not list for it is deleted, so it mirrors the archive; a
// plain file goes with a plain delete, so read-only files stay. Mounted
// storage is never restored into: its records are read past.
// Files of the Startup folder are written into a staging folder on
// FlashDisk instead; the post-restore step moves them into place.
#pragma once

#include <windows.h>

#include "backup_node.h"
#include "node_records.h"

class MPathList;

class MDirectoryNode : public MContainerNode {
 public:
  MDirectoryNode(MNamedNode* parent, LPCWSTR folderName);      // backup
  MDirectoryNode(MNamedNode* parent, MArchiveStream* stream);  // restore
  ~MDirectoryNode() override;
  BOOL Restore(MArchiveStream* stream) override;
  BOOL AcceptsParent(MBackupNode* parent) override;
  BOOL CollectChildren() override;
  void NoteChild(MBackupNode* child) override;
  // On restore: TRUE when this folder is mounted storage of the device or
  // lies below one; its records are read and nothing is written or deleted.
  BOOL ReadsPast() const;

 private:
  BOOL IsReadPast(LPCWSTR path) const;
  BOOL EnsureFolder(LPCWSTR path);
  void DeleteExtraEntries(LPCWSTR path);

  MPathList* restoredNames;  // names of the children read on restore
  BOOL readPast;
};

class MFileNode : public MNamedNode {
 public:
  MFileNode(MNamedNode* parent, LPCWSTR fileName);        // backup
  MFileNode(MNamedNode* parent, MArchiveStream* stream);  // restore
  BOOL Save(MArchiveStream* stream) override;
  BOOL Restore(MArchiveStream* stream) override;
  BOOL AcceptsParent(MBackupNode* parent) override;
};

// Deletes everything inside `folderPath` (not the folder itself), clearing
// read-only attributes on the way. Failures are ignored.
void DeleteTree(LPCWSTR folderPath);
// ForEach visitor of the mirror pass: deletes the entry `name` of the
// folder whose path is `context`, a folder with everything in it, a file
// with a plain delete (a read-only or busy file stays). Always answers
// nonzero so the pass goes on.
BOOL DeleteExtraEntry(void* context, LPCWSTR name);

// The file record's fields of a file as the device lists it: attributes,
// the three times and the low 32 bits of its size.
archive::FileFields FileFieldsOf(const WIN32_FIND_DATAW& found);

// The staging folder of the Startup folder's files during a data restore.
#define STARTUP_STAGING_FOLDER TEXT("\\FlashDisk\\Startup_Restore")
