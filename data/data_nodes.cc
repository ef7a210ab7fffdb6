#include "data_nodes.h"

#include <new>

#include "db_nodes.h"
#include "fs_nodes.h"

using namespace archive;

namespace {

MBackupNode* DirectoryFromArchive(MNamedNode* parent, MArchiveStream* stream) {
  return new (std::nothrow) MDirectoryNode(parent, stream);
}
MNamedNode* DirectoryFromDevice(MNamedNode* parent, LPCWSTR name) {
  return new (std::nothrow) MDirectoryNode(parent, name);
}
MBackupNode* FileFromArchive(MNamedNode* parent, MArchiveStream* stream) {
  return new (std::nothrow) MFileNode(parent, stream);
}
MBackupNode* DbFolderFromArchive(MNamedNode* parent, MArchiveStream* stream) {
  return new (std::nothrow) MDatabaseFolderNode(parent, stream);
}
MNamedNode* DbFolderFromDevice(MNamedNode* parent, LPCWSTR) { return new (std::nothrow) MDatabaseFolderNode(parent); }
MBackupNode* DatabaseFromArchive(MNamedNode* parent, MArchiveStream* stream) {
  return new (std::nothrow) MDatabaseNode(parent, stream);
}

}  // namespace

void InitDataNodes() {
  RegisterNodeClass({kNodeDirectory, DirectoryFromArchive, DirectoryFromDevice});
  RegisterNodeClass({kNodeFile, FileFromArchive, nullptr});
  RegisterNodeClass({kNodeDbFolder, DbFolderFromArchive, DbFolderFromDevice});
  RegisterNodeClass({kNodeDatabase, DatabaseFromArchive, nullptr});
}
