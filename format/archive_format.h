// The archive file format in one place: header layout, format versions,
// node type codes, run-length packet limits and the limits a record must
// keep. The jobs, the nodes and the host tools all read and write archives
// with these numbers, so none of them spells a number of its own.
#pragma once

#include <cstdint>

namespace archive {

// File header. Integers are little-endian.
constexpr uint32_t kVersion = 0x00010002;     // header block with password block
constexpr uint32_t kVersionOld = 0x00010001;  // platform name only; data archives only
constexpr uint32_t kVersionBytes = 4;
constexpr uint32_t kPlatformNameOffset = 4;
constexpr uint32_t kPlatformNameBytes = 252;  // UTF-16LE, zero-terminated, zero-padded
constexpr uint32_t kPasswordBlockOffset = 256;
constexpr uint32_t kPasswordBlockBytes = 1028;
constexpr uint32_t kHeaderBlockBytes = kPlatformNameBytes + kPasswordBlockBytes;  // 1280
constexpr uint32_t kNodeStreamOffset = kVersionBytes + kHeaderBlockBytes;         // 1284
constexpr uint32_t kOldNodeStreamOffset = kVersionBytes + kPlatformNameBytes;     // 256

// Password block: 514 little-endian words, noise on the even ones.
constexpr int kPasswordUnits = 256;  // padded password P0..P255
constexpr int kPasswordBlockWords = kPasswordBlockBytes / 2;
constexpr int kMaxPasswordLength = kPasswordUnits - 1;  // longest password that keeps its terminator

// Node type codes.
constexpr int32_t kNodeRoot = 1;
constexpr int32_t kNodeDirectory = 0x100;
constexpr int32_t kNodeFile = 0x101;
constexpr int32_t kNodeRegRoot = 0x200;
constexpr int32_t kNodeRegKey = 0x201;
constexpr int32_t kNodeRegValue = 0x202;
constexpr int32_t kNodeDbFolder = 0x300;
constexpr int32_t kNodeDatabase = 0x301;
constexpr int32_t kNodeEnd = -1;

// The file record's attributes are the device's FILE_ATTRIBUTE bits; the
// one the host tools act on:
constexpr uint32_t kAttributeReadOnly = 0x01;

// Counted strings are written and read in pieces of this many bytes.
constexpr int kStringPieceBytes = 16;

// Run-length packets: control 0..127 repeats the next byte control+1 times,
// control -1..-128 is followed by -control literal bytes.
constexpr int kRleMaxRun = 128;
constexpr int kRleMaxLiterals = 128;
constexpr int kRleMinRepeat = 3;  // shorter runs join the literals

// What a record may hold. Nothing a device writes comes near these; an
// archive beyond them is damaged, and a restore refuses it before it
// touches the device for it.
constexpr int kMaxDepth = 512;               // nesting below the root
constexpr uint32_t kMaxPathUnits = 259;      // a device path, less its terminator
constexpr uint32_t kMaxRegistryNameUnits = 255;  // key, value and class names
constexpr uint32_t kMaxValueBytes = 4096;        // the data of one registry value
constexpr uint32_t kMaxDatabaseNameUnits = 31;   // 32 units with the terminator
constexpr uint16_t kMaxSortOrders = 4;
constexpr uint32_t kSortOrderBytes = 8;      // property id, flags
constexpr uint32_t kPropertyEntryBytes = 16;  // property id, length, flags, 8-byte value
constexpr uint32_t kMaxRecordBytes = 128 * 1024;       // a whole record as the device keeps it
constexpr uint32_t kMaxPropertyDataBytes = 4092 * 16;  // one blob, or one string with its terminator

// Value types of a record's properties (the low 16 bits of a property id).
constexpr uint16_t kPropI2 = 2;
constexpr uint16_t kPropI4 = 3;
constexpr uint16_t kPropR8 = 5;
constexpr uint16_t kPropBool = 11;
constexpr uint16_t kPropUI2 = 18;
constexpr uint16_t kPropUI4 = 19;
constexpr uint16_t kPropString = 31;  // offset of a zero-terminated UTF-16LE string
constexpr uint16_t kPropFileTime = 64;
constexpr uint16_t kPropBlob = 65;  // length, then the offset of the bytes

}  // namespace archive
