// Object-store databases: CEPROPVAL in the 16-byte layout of the device,
// CEDBASEINFO, CEOIDINFO, the Ce*Database* and Ce*Record* functions, and the
// local heap (LocalAlloc ...) that record buffers come from.
//
// String and blob values hold 32-bit device addresses, not host pointers.
// The kernel resolves such an address relative to the allocation that holds
// the CEPROPVAL array, so a record buffer keeps its strings and blobs in the
// same allocation (as buffers read back with CeReadRecordProps or from an
// archive do). Use DeviceAddress() to make one and CeAddressToPointer() to
// follow one inside a buffer.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

// Property value types: the low word of a property id.
#define CEVT_I2 2
#define CEVT_I4 3
#define CEVT_R8 5
#define CEVT_BOOL 11
#define CEVT_UI2 18
#define CEVT_UI4 19
#define CEVT_LPWSTR 31
#define CEVT_FILETIME 64
#define CEVT_BLOB 65

#define TypeFromPropID(propid) LOWORD(propid)
#define PROPID_FROM_ID_TYPE(id, type) ((CEPROPID)(((DWORD)(WORD)(id) << 16) | (WORD)(type)))

// A blob: its length and the device address of its bytes.
typedef struct _CEBLOB {
  DWORD dwCount;
  DWORD lpb;
} CEBLOB;

// The 8-byte value of a property. The members that are pointers on the
// device are 32-bit device addresses here.
typedef union _CEVALUNION {
  SHORT iVal;
  USHORT uiVal;
  LONG lVal;
  ULONG ulVal;
  FILETIME filetime;
  DWORD lpwstr;
  CEBLOB blob;
  BOOL boolVal;
  double dblVal;
} CEVALUNION;

typedef struct _CEPROPVAL {
  CEPROPID propid;
  WORD wLenData;
  WORD wFlags;
  CEVALUNION val;
} CEPROPVAL, *PCEPROPVAL;

static_assert(sizeof(CEVALUNION) == 8, "CEVALUNION keeps the device's 8 bytes");
static_assert(sizeof(CEPROPVAL) == 16, "CEPROPVAL keeps the device's 16 bytes");

// wFlags of a property.
#define CEDB_PROPNOTFOUND 0x0100
#define CEDB_PROPDELETE 0x0200

#define CEDB_MAXDATABLOCKSIZE 4092
#define CEDB_MAXPROPDATASIZE (CEDB_MAXDATABLOCKSIZE * 16)
#define CEDB_MAXRECORDSIZE (128 * 1024)
#define CEDB_MAXDBASENAMELEN 32
#define CEDB_MAXSORTORDER 4

// Sort order flags.
#define CEDB_SORT_DESCENDING 0x00000001
#define CEDB_SORT_CASEINSENSITIVE 0x00000002
#define CEDB_SORT_UNKNOWNFIRST 0x00000004
#define CEDB_SORT_GENERICORDER 0x00000008

typedef struct _SORTORDERSPEC {
  CEPROPID propid;
  DWORD dwFlags;
} SORTORDERSPEC;

// CEDBASEINFO.dwFlags: which members are valid.
#define CEDB_VALIDNAME 0x0001
#define CEDB_VALIDTYPE 0x0002
#define CEDB_VALIDSORTSPEC 0x0004
#define CEDB_VALIDMODTIME 0x0008
#define CEDB_VALIDDBFLAGS 0x0010
#define CEDB_VALIDCREATE (CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDDBFLAGS)
#define CEDB_NOCOMPRESS 0x00010000

typedef struct _CEDBASEINFO {
  DWORD dwFlags;
  WCHAR szDbaseName[CEDB_MAXDBASENAMELEN];
  DWORD dwDbaseType;
  WORD wNumRecords;
  WORD wNumSortOrder;
  DWORD dwSize;
  FILETIME ftLastModified;
  SORTORDERSPEC rgSortSpecs[CEDB_MAXSORTORDER];
} CEDBASEINFO, *PCEDBASEINFO;

typedef struct _CEFILEINFO {
  DWORD dwAttributes;
  CEOID oidParent;
  WCHAR szFileName[MAX_PATH];
  FILETIME ftLastChanged;
  DWORD dwLength;
} CEFILEINFO;

typedef struct _CEDIRINFO {
  DWORD dwAttributes;
  CEOID oidParent;
  WCHAR szDirName[MAX_PATH];
} CEDIRINFO;

typedef struct _CERECORDINFO {
  CEOID oidParent;
} CERECORDINFO;

#define OBJTYPE_INVALID 0
#define OBJTYPE_FILE 1
#define OBJTYPE_DIRECTORY 2
#define OBJTYPE_DATABASE 3
#define OBJTYPE_RECORD 4

typedef struct _CEOIDINFO {
  WORD wObjType;
  WORD wPad;
  union {
    CEFILEINFO infFile;
    CEDIRINFO infDirectory;
    CEDBASEINFO infDatabase;
    CERECORDINFO infRecord;
  };
} CEOIDINFO;

// CeOpenDatabase flags and CeReadRecordProps flags.
#define CEDB_AUTOINCREMENT 0x00000001
#define CEDB_ALLOWREALLOC 0x00000001

// CeSeekDatabase.
#define CEDB_SEEK_CEOID 0x00000001
#define CEDB_SEEK_BEGINNING 0x00000002
#define CEDB_SEEK_END 0x00000004
#define CEDB_SEEK_CURRENT 0x00000008
#define CEDB_SEEK_VALUESMALLER 0x00000010
#define CEDB_SEEK_VALUEFIRSTEQUAL 0x00000020
#define CEDB_SEEK_VALUEGREATER 0x00000040
#define CEDB_SEEK_VALUENEXTEQUAL 0x00000080

HANDLE CeFindFirstDatabase(DWORD dwDbaseType);
CEOID CeFindNextDatabase(HANDLE hEnum);
BOOL CeOidGetInfo(CEOID oid, CEOIDINFO* poidInfo);
CEOID CeCreateDatabase(LPWSTR lpszName, DWORD dwDbaseType, WORD wNumSortOrder, SORTORDERSPEC* rgSortSpecs);
BOOL CeDeleteDatabase(CEOID oidDbase);
HANDLE CeOpenDatabase(PCEOID poid, LPWSTR lpszName, CEPROPID propid, DWORD dwFlags, HWND hwndNotify);
CEOID CeSeekDatabase(HANDLE hDatabase, DWORD dwSeekType, DWORD dwValue, LPDWORD lpdwIndex);
CEOID CeReadRecordProps(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID, CEPROPID* rgPropID, LPBYTE* lplpBuffer,
                        LPDWORD lpcbBuffer);
CEOID CeWriteRecordProps(HANDLE hDbase, CEOID oidRecord, WORD cPropID, CEPROPVAL* rgPropVal);
BOOL CeDeleteRecord(HANDLE hDatabase, CEOID oidRecord);

// Follows a device address found in a buffer that starts at `base`.
inline void* CeAddressToPointer(const void* base, DWORD address) {
  return const_cast<BYTE*>(static_cast<const BYTE*>(base)) + (DWORD)(address - DeviceAddress(base));
}

// The local heap.
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define NONZEROLPTR LMEM_FIXED

HLOCAL LocalAlloc(UINT uFlags, UINT uBytes);
HLOCAL LocalReAlloc(HLOCAL hMem, UINT uBytes, UINT uFlags);
HLOCAL LocalFree(HLOCAL hMem);
UINT LocalSize(HLOCAL hMem);
