#include "backup_node.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "job_status.h"
#include "records.h"
#include "rle_stream.h"
#include "scratch_device.h"
#include "test_streams.h"
#include "wide_text.h"

namespace {

using archive::kNodeDbFolder;
using archive::kNodeDirectory;
using archive::kNodeFile;
using archive::kNodeRegRoot;

std::vector<std::u16string> g_log;  // what restores did, in order
int g_leavesUnderRootFolder = 0;

// A leaf with a four-byte payload, nesting under folders.
class FakeLeaf : public MNamedNode {
 public:
  FakeLeaf(MNamedNode* parent, LPCWSTR name) : MNamedNode(kNodeFile) { InitFromValues(parent, name); }
  FakeLeaf(MNamedNode* parent, MArchiveStream* stream) : MNamedNode(kNodeFile) { InitFromArchive(parent, stream); }
  BOOL AcceptsParent(MBackupNode* p) override { return p->GetType() == kNodeDirectory; }
  BOOL Save(MArchiveStream* s) override { return MNamedNode::Save(s) && WriteU32(s, 0x11223344); }
  BOOL Restore(MArchiveStream* s) override {
    DWORD v = 0;
    if (!ReadU32(s, &v) || v != 0x11223344) return FALSE;
    WCHAR path[64];
    if (!GetFullPath(path, 64)) return FALSE;
    g_log.push_back(u"restore " + std::u16string(path));
    return TRUE;
  }
};

// A folder; the one named "\" holds g_leavesUnderRootFolder leaves.
class FakeFolder : public MContainerNode {
 public:
  FakeFolder(MNamedNode* parent, LPCWSTR name, LONG type = kNodeDirectory) : MContainerNode(type) {
    InitFromValues(parent, name);
  }
  FakeFolder(MNamedNode* parent, MArchiveStream* stream, LONG type = kNodeDirectory) : MContainerNode(type) {
    InitFromArchive(parent, stream);
  }
  BOOL AcceptsParent(MBackupNode* p) override { return type == kNodeDirectory && p->GetType() == kNodeDirectory; }
  BOOL CollectChildren() override {
    if (std::u16string(GetName()) != u"\\") return TRUE;
    for (int i = 0; i < g_leavesUnderRootFolder; ++i) {
      std::u16string n = u"f" + std::u16string(1, char16_t(u'0' + i % 10));
      MNamedNode* leaf = new FakeLeaf(this, n.c_str());
      if (!AddChild(leaf)) {
        delete leaf;
        return FALSE;
      }
    }
    return TRUE;
  }
  void NoteChild(MBackupNode* child) override {
    g_log.push_back(u"note " + std::u16string(static_cast<MNamedNode*>(child)->GetName()));
  }
};

MNamedNode* FolderFromDevice(MNamedNode* p, LPCWSTR n) { return new FakeFolder(p, n); }
MBackupNode* FolderFromArchive(MNamedNode* p, MArchiveStream* s) { return new FakeFolder(p, s); }
MBackupNode* LeafFromArchive(MNamedNode* p, MArchiveStream* s) { return new FakeLeaf(p, s); }
MNamedNode* RegRootFromDevice(MNamedNode* p, LPCWSTR n) { return new FakeFolder(p, n, kNodeRegRoot); }
MBackupNode* RegRootFromArchive(MNamedNode* p, MArchiveStream* s) { return new FakeFolder(p, s, kNodeRegRoot); }
MNamedNode* DbFromDevice(MNamedNode* p, LPCWSTR n) { return new FakeFolder(p, n, kNodeDbFolder); }
MBackupNode* DbFromArchive(MNamedNode* p, MArchiveStream* s) { return new FakeFolder(p, s, kNodeDbFolder); }

class NodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetJobStatus(JOB_OPERATION_BACKUP);
    g_log.clear();
    g_leavesUnderRootFolder = 0;
    RegisterNodeClass({kNodeDirectory, FolderFromArchive, FolderFromDevice});
    RegisterNodeClass({kNodeFile, LeafFromArchive, nullptr});
    RegisterNodeClass({kNodeRegRoot, RegRootFromArchive, RegRootFromDevice});
    RegisterNodeClass({kNodeDbFolder, DbFromArchive, DbFromDevice});
  }
  void TearDown() override {
    for (LONG t : {kNodeDirectory, kNodeFile, kNodeRegRoot, kNodeDbFolder}) UnregisterNodeClass(t);
    CeSetMessageBoxAnswerer(nullptr, nullptr);
  }

  // The decoded node stream of a backup of the given root.
  Bytes SaveRoot(BOOL registryOnly, BOOL* ok = nullptr) {
    LimitedSink sink;
    MRootNode root(registryOnly);
    BOOL saved = root.Save(&sink);
    if (ok) *ok = saved;
    return sink.bytes;
  }

  // Restores a decoded node stream (coded first) below no parent.
  BOOL RestoreDecoded(const Bytes& decoded) {
    LimitedSink coded;
    MRleStream encoder(&coded);
    LONG done;
    encoder.Write(decoded.data(), LONG(decoded.size()), &done);
    encoder.Flush();
    std::unique_ptr<MMemoryStream> src(NewSource(coded.bytes));
    MRleStream decoder(src.get());
    std::unique_ptr<MBackupNode> root(ReadNode(nullptr, &decoder));
    if (!root) {
      SetJobError(STATUS_ARCHIVE_READ_FAILED);
      return FALSE;
    }
    BOOL ok = root->Restore(&decoder);
    if (!ok) SetJobError(STATUS_ARCHIVE_READ_FAILED);
    return ok;
  }

  // The cancel question is a message box, which needs a device to be shown on.
  cedev::ScratchDevice device_;
};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Bytes kEnd{0xFF, 0xFF, 0xFF, 0xFF};
const Bytes kRootHeader{0x01, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST_F(NodeTest, DataArchiveStreamStartsWithRootThenRootFolder) {
  Bytes s = SaveRoot(FALSE);
  Bytes start = Cat({kRootHeader, {0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x5C}});
  ASSERT_GE(s.size(), start.size());
  EXPECT_EQ(Bytes(s.begin(), s.begin() + start.size()), start);
  // Folder "\" (empty), four registry roots, the database folder, the root's end.
  EXPECT_EQ(Bytes(s.end() - 8, s.end()), Cat({kEnd, kEnd}));
}

TEST_F(NodeTest, RegistryArchiveStreamStartsWithFirstRegistryRoot) {
  Bytes s = SaveRoot(TRUE);
  Bytes start = Cat({kRootHeader, {0x00, 0x02, 0x00, 0x00, 0x11, 0x00}, Bytes(17, 0)});
  for (char c : std::string("HKEY_CLASSES_ROOT")) start.push_back(uint8_t(c));
  ASSERT_GE(s.size(), start.size());
  EXPECT_EQ(Bytes(s.begin(), s.begin() + start.size()), start);
  // Exactly the four roots and no file-system or database folder.
  size_t roots = 0;
  for (size_t i = 0; i + 4 <= s.size(); ++i) roots += s[i] == 0x00 && s[i + 1] == 0x02 && s[i + 2] == 0 && s[i + 3] == 0;
  EXPECT_EQ(roots, 4u);
}

TEST_F(NodeTest, RootWithoutChildren) {
  LimitedSink sink;
  FakeFolder empty(nullptr, u"", archive::kNodeRoot);
  ASSERT_TRUE(empty.Save(&sink));
  EXPECT_EQ(sink.bytes, Cat({kRootHeader, kEnd}));
  EXPECT_TRUE(RestoreDecoded(Cat({kRootHeader, kEnd})));
  EXPECT_EQ(JobStatus, STATUS_OK);
}

TEST_F(NodeTest, MissingNodeClassFailsCollectionWithNoMemory) {
  UnregisterNodeClass(kNodeDbFolder);
  BOOL ok = TRUE;
  Bytes s = SaveRoot(FALSE, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_NO_MEMORY);
  EXPECT_NE(Bytes(s.end() - 4, s.end()), kEnd) << "no end marker after a failed container";
}

TEST_F(NodeTest, RestoreNotesEachChildBeforeRestoringIt) {
  g_leavesUnderRootFolder = 2;
  Bytes s = SaveRoot(FALSE);
  ASSERT_TRUE(RestoreDecoded(s));
  std::vector<std::u16string> expected{u"note f0", u"restore \\f0", u"note f1", u"restore \\f1"};
  EXPECT_EQ(g_log, expected);
  EXPECT_EQ(JobStatus, STATUS_OK);
}

TEST_F(NodeTest, UnknownTypeCodeEndsRestoreWithArchiveReadFailed) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  EXPECT_FALSE(RestoreDecoded(Cat({kRootHeader, {0x02, 0x01, 0x00, 0x00, 0x00, 0x00}, kEnd})));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(NodeTest, StreamEndingAfterTypeCodeFails) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  EXPECT_FALSE(RestoreDecoded(Cat({kRootHeader, {0x00, 0x01, 0x00, 0x00}})));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(NodeTest, EleventhChildGrowsCapacityByTen) {
  FakeFolder folder(nullptr, u"x");
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(folder.AddChild(new MEndNode()));
  EXPECT_EQ(folder.ChildCapacity(), 10);
  ASSERT_TRUE(folder.AddChild(new MEndNode()));
  EXPECT_EQ(folder.ChildCapacity(), 20);
  EXPECT_EQ(folder.ChildCount(), 11);
  folder.ClearChildren();
  EXPECT_EQ(folder.ChildCapacity(), 0);
  EXPECT_EQ(folder.ChildCount(), 0);
}

TEST_F(NodeTest, FullPaths) {
  FakeFolder root(nullptr, u"\\");
  FakeFolder windows(&root, u"Windows");
  FakeLeaf underRoot(&root, u"a.txt");
  FakeLeaf underWindows(&windows, u"b.txt");
  FakeLeaf orphan(nullptr, u"c.txt");
  FakeFolder notAccepted(nullptr, u"DATABASE", kNodeDbFolder);
  FakeLeaf underDb(&notAccepted, u"d");
  WCHAR path[64];
  ASSERT_TRUE(windows.GetFullPath(path, 64));
  EXPECT_EQ(std::u16string(path), u"\\Windows");
  ASSERT_TRUE(underRoot.GetFullPath(path, 64));
  EXPECT_EQ(std::u16string(path), u"\\a.txt");
  ASSERT_TRUE(underWindows.GetFullPath(path, 64));
  EXPECT_EQ(std::u16string(path), u"\\Windows\\b.txt");
  ASSERT_TRUE(orphan.GetFullPath(path, 64));
  EXPECT_EQ(std::u16string(path), u"c.txt");
  ASSERT_TRUE(underDb.GetFullPath(path, 64));
  EXPECT_EQ(std::u16string(path), u"d") << "a parent that was not accepted ends the path";
  EXPECT_EQ(underDb.GetParent(), nullptr);
  path[0] = u'Q';
  EXPECT_FALSE(underWindows.GetFullPath(path, 14)) << "needs 15 units";
  EXPECT_EQ(path[0], 0);
  EXPECT_TRUE(underWindows.GetFullPath(path, 15));
}

int AnswerWith(LPCWSTR, LPCWSTR, UINT, void* answer) { return *static_cast<int*>(answer); }

TEST_F(NodeTest, CancelConfirmedDuringBackupLeavesNoEndMarker) {
  g_leavesUnderRootFolder = 3;
  int yes = IDYES;
  CeSetMessageBoxAnswerer(AnswerWith, &yes);
  CancelRequested = TRUE;
  BOOL ok = TRUE;
  Bytes s = SaveRoot(FALSE, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_CANCELLED);
  EXPECT_EQ(s, kRootHeader) << "stops before the first child, no end marker";
}

TEST_F(NodeTest, CancelDeclinedLetsBackupFinish) {
  g_leavesUnderRootFolder = 3;
  Bytes full = SaveRoot(FALSE);
  int no = IDNO;
  CeSetMessageBoxAnswerer(AnswerWith, &no);
  CancelRequested = TRUE;
  BOOL ok = FALSE;
  EXPECT_EQ(SaveRoot(FALSE, &ok), full);
  EXPECT_TRUE(ok);
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_FALSE(CancelRequested);
}

TEST_F(NodeTest, CancelConfirmedDuringRestoreStopsBeforeNextRecord) {
  g_leavesUnderRootFolder = 2;
  Bytes s = SaveRoot(FALSE);
  ResetJobStatus(JOB_OPERATION_RESTORE);
  int yes = IDYES;
  CeSetMessageBoxAnswerer(AnswerWith, &yes);
  CancelRequested = TRUE;
  EXPECT_FALSE(RestoreDecoded(s));
  EXPECT_EQ(JobStatus, STATUS_CANCELLED);
  EXPECT_TRUE(g_log.empty());
}

// The folder "\" at depth 1 and folders "a" inside it down to `depth`.
Bytes NestedFolders(int depth) {
  Bytes s = Cat({kRootHeader, {0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x5C}});
  for (int i = 1; i < depth; ++i) s = Cat({s, {0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x61}});
  for (int i = 0; i <= depth; ++i) s = Cat({s, kEnd});
  return s;
}

TEST_F(NodeTest, NestingBeyondTheLimitFailsCleanly) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  EXPECT_TRUE(RestoreDecoded(NestedFolders(512)));
  EXPECT_EQ(JobStatus, STATUS_OK);
  for (int depth : {513, 2000}) {
    ResetJobStatus(JOB_OPERATION_RESTORE);
    EXPECT_FALSE(RestoreDecoded(NestedFolders(depth))) << depth;
    EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED) << depth;
  }
}

}  // namespace
