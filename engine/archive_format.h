// The archive file format in one place: header layout, format versions,
// node type codes, run-length packet limits and the job status codes.
// The jobs, the nodes and the host tools all read and write archives with
// these numbers, so none of them spells a number of its own.
#pragma once

#include "ce/types.h"

namespace archive {

// File header. Integers are little-endian.
constexpr DWORD kVersion = 0x00010002;     // header block with password block
constexpr DWORD kVersionOld = 0x00010001;  // platform name only; data archives only
constexpr DWORD kVersionBytes = 4;
constexpr DWORD kPlatformNameOffset = 4;
constexpr DWORD kPlatformNameBytes = 252;  // UTF-16LE, zero-terminated, zero-padded
constexpr DWORD kPasswordBlockOffset = 256;
constexpr DWORD kPasswordBlockBytes = 1028;
constexpr DWORD kHeaderBlockBytes = kPlatformNameBytes + kPasswordBlockBytes;  // 1280
constexpr DWORD kNodeStreamOffset = kVersionBytes + kHeaderBlockBytes;         // 1284
constexpr DWORD kOldNodeStreamOffset = kVersionBytes + kPlatformNameBytes;     // 256

// Password block: 514 little-endian words, noise on the even ones.
constexpr int kPasswordUnits = 256;  // padded password P0..P255
constexpr int kPasswordBlockWords = kPasswordBlockBytes / 2;
constexpr int kMaxPasswordLength = kPasswordUnits - 1;  // longest password that keeps its terminator

// Node type codes.
constexpr LONG kNodeRoot = 1;
constexpr LONG kNodeDirectory = 0x100;
constexpr LONG kNodeFile = 0x101;
constexpr LONG kNodeRegRoot = 0x200;
constexpr LONG kNodeRegKey = 0x201;
constexpr LONG kNodeRegValue = 0x202;
constexpr LONG kNodeDbFolder = 0x300;
constexpr LONG kNodeDatabase = 0x301;
constexpr LONG kNodeEnd = -1;

// Counted strings are written and read in pieces of this many bytes.
constexpr int kStringPieceBytes = 16;

// Run-length packets: control 0..127 repeats the next byte control+1 times,
// control -1..-128 is followed by -control literal bytes.
constexpr int kRleMaxRun = 128;
constexpr int kRleMaxLiterals = 128;
constexpr int kRleMinRepeat = 3;  // shorter runs join the literals

// Archive file names under the backup location.
#define ARCHIVE_FOLDER_FORMAT TEXT("%s\\Backup")
#define ARCHIVE_REGISTRY_TEMP TEXT("%s\\Backup\\Registory.$$$")
#define ARCHIVE_REGISTRY_FILE TEXT("%s\\Backup\\Registory.dat")
#define ARCHIVE_DATA_TEMP TEXT("%s\\Backup\\Backup.$$$")
#define ARCHIVE_DATA_FILE TEXT("%s\\Backup\\Backup.dat")

}  // namespace archive

// Job status codes: 0x1000 backup, 0x2000 restore, 0x3000 general.
#define STATUS_BACKUP_LOW_BATTERY 0x1002u
#define STATUS_WRITE_FAILED 0x1003u
#define STATUS_SOURCE_READ_FAILED 0x1004u
#define STATUS_RESTORE_LOW_BATTERY 0x2001u
#define STATUS_ARCHIVE_READ_FAILED 0x2002u
#define STATUS_DEVICE_WRITE_FAILED 0x2003u
#define STATUS_BAD_PASSWORD 0x2004u
#define STATUS_OK 0x3000u
#define STATUS_CANCELLED 0x3001u
#define STATUS_NO_MEMORY 0x3002u

// Values of JobOperation.
#define JOB_OPERATION_BACKUP 1u
#define JOB_OPERATION_RESTORE 3u
