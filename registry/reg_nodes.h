// Registry nodes: the four roots, their keys and the values of each key.
// On backup they walk the live registry and write themselves; on restore
// they recreate keys, write back values that differ from the device's, and
// then delete the keys and values the archive does not hold. A backup
// leaves two things out: any value named "CalibrationData" (the touch
// calibration of this very device) and the key "Platform" directly below
// HKEY_LOCAL_MACHINE (the device's identity, compared with the archive
// header). A restore never deletes either of them, yet writes them back
// like anything else when an archive (made by hand, or by other software)
// holds them.
#pragma once

#include "backup_node.h"

class MPathList;

class MRegValueNode : public MNamedNode {
 public:
  MRegValueNode(MNamedNode* parent, LPCWSTR valueName);      // backup
  MRegValueNode(MNamedNode* parent, MArchiveStream* stream);  // restore
  BOOL Save(MArchiveStream* stream) override;
  BOOL Restore(MArchiveStream* stream) override;
  BOOL AcceptsParent(MBackupNode* parent) override;

 private:
  void BindParentKey(MNamedNode* parent);
  BOOL SameAsDevice(DWORD valueType, const BYTE* data, DWORD length);
  BOOL WriteToDevice(DWORD valueType, const BYTE* data, DWORD length);

  HKEY key;  // the parent key's handle, borrowed
};

class MRegKeyNode : public MContainerNode {
 public:
  MRegKeyNode(MNamedNode* parent, LPCWSTR keyName, LPCWSTR keyClass);  // backup: opens the subkey
  MRegKeyNode(MNamedNode* parent, MArchiveStream* stream);            // restore: creates the key
  ~MRegKeyNode() override;
  BOOL IsValid() override;
  BOOL Save(MArchiveStream* stream) override;
  BOOL Restore(MArchiveStream* stream) override;
  BOOL AcceptsParent(MBackupNode* parent) override;
  BOOL CollectChildren() override;
  void NoteChild(MBackupNode* child) override;

  HKEY Handle() const { return key; }

 protected:
  explicit MRegKeyNode(LONG nodeType);

  HKEY key;
  BOOL ownsKey;
  LPWSTR className;
  MPathList* restoredKeys;
  MPathList* restoredValues;

 private:
  BOOL CollectValues();
  BOOL CollectSubkeys();
  BOOL AddOrDrop(MNamedNode* child);
  void PruneSubkeys();
  void PruneValues();
};

class MRegRootKeyNode : public MRegKeyNode {
 public:
  MRegRootKeyNode(MNamedNode* parent, LPCWSTR rootName);        // backup
  MRegRootKeyNode(MNamedNode* parent, MArchiveStream* stream);  // restore

 private:
  void BindRoot();
};

// The predefined handle of a root name, or null.
HKEY RegistryRootHandle(LPCWSTR rootName);
// Registers the registry node classes with the node factory. The program
// calls it once at start, before any job.
void InitRegistryNodes();
