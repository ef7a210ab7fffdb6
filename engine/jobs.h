// The four job procedures: registry and data backup, registry and data
// restore. Each runs on the job's worker thread, records the first failure
// in JobStatus and answers 1 (success) or 0, the worker's exit code.
#pragma once

#include "archive_format.h"
#include "archive_stream.h"
#include "ce/types.h"

// Archive file names under the backup location.
#define ARCHIVE_FOLDER_FORMAT TEXT("%s\\Backup")
#define ARCHIVE_REGISTRY_TEMP TEXT("%s\\Backup\\Registory.$$$")
#define ARCHIVE_REGISTRY_FILE TEXT("%s\\Backup\\Registory.dat")
#define ARCHIVE_DATA_TEMP TEXT("%s\\Backup\\Backup.$$$")
#define ARCHIVE_DATA_FILE TEXT("%s\\Backup\\Backup.dat")

// Where the archives go: the bare name of a root folder ("FlashDisk"), in a
// buffer of MAX_PATH units. FALSE when there is no location. The program
// installs its GetBackupLocation here at start.
typedef BOOL (*BackupLocationSource)(LPWSTR location);
void SetBackupLocationSource(BackupLocationSource source);
// The location of the running job's archive, empty when no job runs. When it
// is a folder of the object store, a backup's file walk meets the archives
// there and leaves them out, and a restore's mirror pass leaves them alone.
LPCWSTR BackupArchiveLocation();

DWORD RunRegistryBackup(const BYTE* passwordBlock);
DWORD RunDataBackup(const BYTE* passwordBlock);
DWORD RunRegistryRestore(LPCWSTR password);
DWORD RunDataRestore(LPCWSTR password);

// The pieces of the jobs below the archive file, for tools that hold an
// archive in another form.
// Writes the coded node tree (root and everything below it) to `out`.
BOOL SaveNodeTree(MArchiveStream* out, BOOL registryOnly);
// Reads the coded node tree from `in` and restores it on the device.
BOOL RestoreNodeTree(MArchiveStream* in);
// The device's platform name as the header stores it (all zero when it has
// none or one too long for the field); TRUE when it was written.
BOOL ReadDevicePlatformName(BYTE name[archive::kPlatformNameBytes]);
// Whether an archive made on the platform `name` may be restored here: the
// device's whole name, terminator included, must equal the archive's. A
// device without a name accepts every archive; one whose name does not fit
// the field accepts none.
BOOL PlatformAccepted(const BYTE name[archive::kPlatformNameBytes]);
