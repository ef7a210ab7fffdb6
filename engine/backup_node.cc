#include "backup_node.h"

#include <new>

#include "job_status.h"
#include "node_rules.h"
#include "records.h"
#include "wide_text.h"

namespace {

// How many containers are restoring their children: the depth below the
// root of the records read now. Restoring recurses once per level, so the
// format's depth limit also keeps a hostile archive from exhausting the
// worker's stack.
int g_restoreDepth = 0;

struct DepthGuard {
  DepthGuard() { ++g_restoreDepth; }
  ~DepthGuard() { --g_restoreDepth; }
};

}  // namespace

// ---- MBackupNode

BOOL MBackupNode::IsValid() { return TRUE; }

BOOL MBackupNode::Save(MArchiveStream* stream) { return WriteU32(stream, DWORD(type)); }

BOOL MBackupNode::Restore(MArchiveStream*) { return TRUE; }

// ---- MNamedNode

MNamedNode::~MNamedNode() { FreeString(name); }

BOOL MNamedNode::IsValid() { return name != nullptr; }

BOOL MNamedNode::Save(MArchiveStream* stream) {
  return MBackupNode::Save(stream) && WriteString(stream, name);
}

BOOL MNamedNode::Restore(MArchiveStream*) { return TRUE; }

void MNamedNode::LinkParent(MNamedNode* parentNode) {
  parent = parentNode && AcceptsParent(parentNode) ? parentNode : nullptr;
}

void MNamedNode::InitFromValues(MNamedNode* parentNode, LPCWSTR nodeName) {
  LinkParent(parentNode);
  name = DuplicateString(nodeName);
}

void MNamedNode::InitFromArchive(MNamedNode* parentNode, MArchiveStream* stream) {
  LinkParent(parentNode);
  DWORD length = 0;
  name = ReadString(stream, &length);
  // A name the format refuses for this record (checked with every unit the
  // archive stored) leaves the node invalid: the restore stops before it
  // touches the device for it.
  LONG readParentType = parentNode ? parentNode->GetType() : 0;
  if (name && !archive::CheckName(readParentType, type, std::u16string_view(name, length)).ok()) {
    FreeString(name);
    name = nullptr;
  }
}

BOOL MNamedNode::GetName(LPWSTR buffer, DWORD capacity) const { return WideCopy(buffer, capacity, name); }

// Appends this node's path at the end of the text in `buffer`; returns the
// new length, or capacity when it does not fit.
DWORD MNamedNode::AppendFullPath(LPWSTR buffer, DWORD capacity) const {
  DWORD length = 0;
  if (parent) {
    length = parent->AppendFullPath(buffer, capacity);
    if (length >= capacity) return capacity;
    if (length == 0 || buffer[length - 1] != u'\\') {
      if (length + 1 >= capacity) return capacity;
      buffer[length++] = u'\\';
      buffer[length] = 0;
    }
  }
  DWORD own = WideLength(name);
  if (length + own + 1 > capacity) return capacity;
  for (DWORD i = 0; i < own; ++i) buffer[length + i] = name[i];
  buffer[length + own] = 0;
  return length + own;
}

BOOL MNamedNode::GetFullPath(LPWSTR buffer, DWORD capacity) const {
  if (!buffer || capacity == 0) return FALSE;
  buffer[0] = 0;
  if (AppendFullPath(buffer, capacity) >= capacity) {
    buffer[0] = 0;
    return FALSE;
  }
  return TRUE;
}

// ---- MContainerNode

MContainerNode::~MContainerNode() { ClearChildren(); }

void MContainerNode::NoteChild(MBackupNode*) {}

BOOL MContainerNode::AddChild(MBackupNode* child) {
  if (childCapacity < childCount + 1) {
    LONG grown = childCapacity + kGrowBy;
    MBackupNode** array = new (std::nothrow) MBackupNode*[grown]();
    if (!array) return FALSE;
    for (LONG i = 0; i < childCount; ++i) array[i] = children[i];
    delete[] children;
    children = array;
    childCapacity = grown;
  }
  children[childCount++] = child;
  return TRUE;
}

void MContainerNode::ClearChildren() {
  for (LONG i = 0; i < childCount; ++i) delete children[i];
  delete[] children;
  children = nullptr;
  childCount = childCapacity = 0;
}

BOOL MContainerNode::Save(MArchiveStream* stream) {
  return MNamedNode::Save(stream) && SaveChildren(stream);
}

BOOL MContainerNode::Restore(MArchiveStream* stream) { return RestoreChildren(stream); }

BOOL MContainerNode::SaveChildren(MArchiveStream* stream) {
  if (!CollectChildren()) {
    SetJobError(STATUS_NO_MEMORY);
    ClearChildren();
    return FALSE;
  }
  BOOL ok = TRUE;
  for (LONG i = 0; ok && i < childCount; ++i) {
    if (CancelCheckpoint()) {
      ok = FALSE;
      break;
    }
    ok = children[i]->Save(stream);
  }
  ClearChildren();
  if (!ok) return FALSE;
  MEndNode* end = new (std::nothrow) MEndNode();
  if (!end) {
    SetJobError(STATUS_NO_MEMORY);
    return FALSE;
  }
  BOOL saved = end->Save(stream);
  delete end;
  return saved;
}

BOOL MContainerNode::RestoreChildren(MArchiveStream* stream) {
  DepthGuard depth;
  for (;;) {
    MBackupNode* child = ReadNode(this, stream);
    if (!child) {
      SetJobError(STATUS_ARCHIVE_READ_FAILED);
      return FALSE;
    }
    if (child->GetType() == archive::kNodeEnd) {
      BOOL ok = child->Restore(stream);
      if (!ok) SetJobError(STATUS_ARCHIVE_READ_FAILED);
      delete child;
      return ok;
    }
    NoteChild(child);
    BOOL ok = child->Restore(stream);
    delete child;
    if (!ok) {
      SetJobError(STATUS_ARCHIVE_READ_FAILED);
      return FALSE;
    }
  }
}

// ---- MRootNode

MRootNode::MRootNode(BOOL registryOnlyArchive) : MContainerNode(archive::kNodeRoot), registryOnly(registryOnlyArchive) {
  InitFromValues(nullptr, TEXT(""));
}

MRootNode::MRootNode(MArchiveStream* stream) : MContainerNode(archive::kNodeRoot), registryOnly(FALSE) {
  InitFromArchive(nullptr, stream);
}

BOOL MRootNode::AcceptsParent(MBackupNode*) { return FALSE; }

BOOL MRootNode::AddNewChild(LONG childType, LPCWSTR childName) {
  const MNodeClass* nodeClass = FindNodeClass(childType);
  MNamedNode* child = nodeClass && nodeClass->fromDevice ? nodeClass->fromDevice(this, childName) : nullptr;
  if (child && child->IsValid() && AddChild(child)) return TRUE;
  delete child;
  SetJobError(STATUS_NO_MEMORY);
  return FALSE;
}

BOOL MRootNode::CollectChildren() {
  if (!registryOnly && !AddNewChild(archive::kNodeDirectory, TEXT("\\"))) return FALSE;
  for (LPCWSTR root : archive::kRegistryRootNames)
    if (!AddNewChild(archive::kNodeRegRoot, root)) return FALSE;
  if (!registryOnly && !AddNewChild(archive::kNodeDbFolder, TEXT("DATABASE"))) return FALSE;
  return TRUE;
}

// ---- Factory

namespace {

constexpr int kMaxNodeClasses = 16;
MNodeClass g_classes[kMaxNodeClasses];
int g_classCount = 0;

MBackupNode* MakeNode(LONG type, MNamedNode* parent, MArchiveStream* stream) {
  if (type == archive::kNodeRoot) return new (std::nothrow) MRootNode(stream);
  if (type == archive::kNodeEnd) return new (std::nothrow) MEndNode();
  const MNodeClass* nodeClass = FindNodeClass(type);
  return nodeClass && nodeClass->fromArchive ? nodeClass->fromArchive(parent, stream) : nullptr;
}

// A record that may not stand where it is read (the first must be the
// root) is refused before any class is made for it.
BOOL IsPlaced(MNamedNode* parent, DWORD type) {
  if (LONG(type) == archive::kNodeEnd) return TRUE;
  archive::Result placed =
      parent ? archive::CheckPlacement(parent->GetType(), type, g_restoreDepth) : archive::CheckFirstRecord(type);
  return placed.ok();
}

}  // namespace

BOOL RegisterNodeClass(const MNodeClass& nodeClass) {
  for (int i = 0; i < g_classCount; ++i) {
    if (g_classes[i].type == nodeClass.type) {
      g_classes[i] = nodeClass;
      return TRUE;
    }
  }
  if (g_classCount == kMaxNodeClasses) return FALSE;
  g_classes[g_classCount++] = nodeClass;
  return TRUE;
}

void UnregisterNodeClass(LONG type) {
  for (int i = 0; i < g_classCount; ++i) {
    if (g_classes[i].type == type) {
      g_classes[i] = g_classes[--g_classCount];
      return;
    }
  }
}

const MNodeClass* FindNodeClass(LONG type) {
  for (int i = 0; i < g_classCount; ++i)
    if (g_classes[i].type == type) return &g_classes[i];
  return nullptr;
}

MBackupNode* ReadNode(MNamedNode* parent, MArchiveStream* stream) {
  if (CancelCheckpoint()) return nullptr;
  DWORD type = 0;
  if (!ReadU32(stream, &type)) return nullptr;
  if (!IsPlaced(parent, type)) return nullptr;
  MBackupNode* node = MakeNode(LONG(type), parent, stream);
  if (node && !node->IsValid()) {
    delete node;
    return nullptr;
  }
  return node;
}
