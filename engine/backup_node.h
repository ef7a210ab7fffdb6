// The node framework: every thing an archive holds is a node that writes
// its own record on backup and reads it back and puts the thing on the
// device on restore. Records have no length field; each node knows its own
// structure, and containers end their children with an end marker.
#pragma once

#include "archive_format.h"
#include "archive_stream.h"
#include "ce/types.h"

class MBackupNode {
 public:
  explicit MBackupNode(LONG nodeType) : type(nodeType) {}
  MBackupNode(const MBackupNode&) = delete;
  MBackupNode& operator=(const MBackupNode&) = delete;

  virtual BOOL IsValid();
  // Writes this node's whole record.
  virtual BOOL Save(MArchiveStream* stream);
  // Reads the rest of this node's record and puts its thing back.
  virtual BOOL Restore(MArchiveStream* stream);
  virtual ~MBackupNode() = default;

  LONG GetType() const { return type; }

 protected:
  const LONG type;
};

class MNamedNode : public MBackupNode {
 public:
  BOOL IsValid() override;
  BOOL Save(MArchiveStream* stream) override;
  BOOL Restore(MArchiveStream* stream) override;
  ~MNamedNode() override;
  // Whether this class nests under `parent` as part of a device path.
  virtual BOOL AcceptsParent(MBackupNode* parent) = 0;

  LPCWSTR GetName() const { return name; }
  BOOL GetName(LPWSTR buffer, DWORD capacity) const;
  // The parent's path, a backslash unless it already ends with one, then
  // the name. FALSE (and an empty buffer) when it does not fit.
  BOOL GetFullPath(LPWSTR buffer, DWORD capacity) const;
  MNamedNode* GetParent() const { return parent; }

 protected:
  explicit MNamedNode(LONG nodeType) : MBackupNode(nodeType), name(nullptr), parent(nullptr) {}
  // Second construction step, run by each concrete constructor once the
  // object answers AcceptsParent as its final class.
  void InitFromValues(MNamedNode* parentNode, LPCWSTR nodeName);
  void InitFromArchive(MNamedNode* parentNode, MArchiveStream* stream);

  LPWSTR name;
  MNamedNode* parent;

 private:
  void LinkParent(MNamedNode* parentNode);
  DWORD AppendFullPath(LPWSTR buffer, DWORD capacity) const;
};

class MContainerNode : public MNamedNode {
 public:
  static constexpr LONG kGrowBy = 10;

  BOOL Save(MArchiveStream* stream) override;
  BOOL Restore(MArchiveStream* stream) override;
  ~MContainerNode() override;
  // Enumerates the device's objects below this node, AddChild for each.
  virtual BOOL CollectChildren() = 0;
  // Called during a restore with each child just read, before its Restore.
  virtual void NoteChild(MBackupNode* child);

  // On FALSE the caller still owns the child.
  BOOL AddChild(MBackupNode* child);
  void ClearChildren();
  LONG ChildCount() const { return childCount; }
  LONG ChildCapacity() const { return childCapacity; }
  MBackupNode* Child(LONG index) const { return children[index]; }

 protected:
  explicit MContainerNode(LONG nodeType)
      : MNamedNode(nodeType), childCount(0), childCapacity(0), children(nullptr) {}
  BOOL SaveChildren(MArchiveStream* stream);
  BOOL RestoreChildren(MArchiveStream* stream);

  LONG childCount;
  LONG childCapacity;
  MBackupNode** children;
};

class MEndNode : public MBackupNode {
 public:
  MEndNode() : MBackupNode(archive::kNodeEnd) {}
};

class MRootNode : public MContainerNode {
 public:
  explicit MRootNode(BOOL registryOnlyArchive);  // backup
  explicit MRootNode(MArchiveStream* stream);    // restore
  BOOL AcceptsParent(MBackupNode* parent) override;
  BOOL CollectChildren() override;

 private:
  BOOL AddNewChild(LONG childType, LPCWSTR childName);

  BOOL registryOnly;
};

// Turns the next record of the stream into a node owned by the caller, or
// null (the caller records the status).
MBackupNode* ReadNode(MNamedNode* parent, MArchiveStream* stream);

// The node classes of the other libraries reach the factory through this
// table: each library registers its classes in an explicit init call the
// program makes at start (InitRegistryNodes, InitDataNodes), so the engine
// does not depend on them and no registration is lost to the linker.
typedef MBackupNode* (*NodeFromArchive)(MNamedNode* parent, MArchiveStream* stream);
typedef MNamedNode* (*NodeFromDevice)(MNamedNode* parent, LPCWSTR name);
struct MNodeClass {
  LONG type;
  NodeFromArchive fromArchive;  // restore side
  NodeFromDevice fromDevice;    // backup side, for the root's children; may be null
};
BOOL RegisterNodeClass(const MNodeClass& nodeClass);
void UnregisterNodeClass(LONG type);
const MNodeClass* FindNodeClass(LONG type);
