// A record's properties, as the kernel keeps them, and their two outside
// forms: the blob stored in state.db and the device-layout buffer that
// CeReadRecordProps hands out and CeWriteRecordProps takes in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ce/database.h"

namespace cedev {

struct Property {
  CEPROPID propid = 0;
  // Fixed-size types: the 8 value bytes as the device holds them. Strings:
  // the UTF-16 units with their terminator. Blobs: the bytes.
  std::vector<uint8_t> bytes;

  WORD Type() const { return TypeFromPropID(propid); }
  bool IsVariable() const { return Type() == CEVT_LPWSTR || Type() == CEVT_BLOB; }
};

using Record = std::vector<Property>;

bool IsKnownPropType(WORD type);

// The stored form: per property u32 id, u32 length, bytes.
std::vector<uint8_t> EncodeRecord(const Record& record);
bool DecodeRecord(const void* data, size_t size, Record* out);

// Sets or replaces each property; one flagged CEDB_PROPDELETE is removed.
// Replaced properties keep their place.
void MergeProperties(Record* record, const Record& changes, const std::vector<bool>& deletes);

// The device layout: the CEPROPVAL array, then each string and blob at a
// 4-byte aligned offset, with the entries holding their device addresses.
// `wanted` null means every property in record order; otherwise one entry
// per wanted id, flagged CEDB_PROPNOTFOUND when the record lacks it.
size_t DeviceLayoutSize(const Record& record, const CEPROPID* wanted, size_t wanted_count);
void WriteDeviceLayout(const Record& record, const CEPROPID* wanted, size_t wanted_count, uint8_t* buffer);
// Number of entries that layout holds.
size_t DeviceLayoutCount(const Record& record, const CEPROPID* wanted, size_t wanted_count);

// Reads `count` entries from a caller's buffer. String and blob addresses are
// resolved against the allocation holding `values` (a LocalAlloc block, whose
// end is then checked) or, for other memory, against `values` itself. On a
// bad entry returns false with the error code in *error.
bool ReadDeviceProperties(const CEPROPVAL* values, size_t count, Record* out, std::vector<bool>* deletes,
                          DWORD* error);

// Orders two records by one property under a sort order's flags; missing
// properties go last unless CEDB_SORT_UNKNOWNFIRST.
int CompareByProperty(const Record& a, const Record& b, CEPROPID propid, DWORD flags);

// Size the record takes in the object store (the device layout of all its
// properties), for CEDBASEINFO.dwSize.
size_t RecordStoreSize(const Record& record);

}  // namespace cedev
