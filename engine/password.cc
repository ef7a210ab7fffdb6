#include "password.h"

#include <cstdlib>
#include <cstring>

#include <windows.h>

using archive::kMaxPasswordLength;
using archive::kPasswordBlockBytes;
using archive::kPasswordUnits;

namespace {

WORD GetWord(const BYTE* block, int index) { return WORD(block[2 * index] | (block[2 * index + 1] << 8)); }

void SetWord(BYTE* block, int index, WORD value) {
  block[2 * index] = BYTE(value);
  block[2 * index + 1] = BYTE(value >> 8);
}

WORD RandomWord() { return WORD(std::rand() & 0xFFFF); }

}  // namespace

void MPwdEncryption(LPCWSTR password, BYTE* block) {
  if (!password || !block) {
    NKDbgPrintfW(TEXT("Exception occured in MPwdEncryption.\r\n"));
    return;
  }
  WORD padded[kPasswordUnits];
  for (WORD& unit : padded) unit = RandomWord();
  int length = 0;
  while (length < kMaxPasswordLength && password[length]) {
    padded[length] = password[length];
    ++length;
  }
  padded[length] = 0;

  std::memset(block, 0, kPasswordBlockBytes);
  for (int k = 0; k <= kPasswordUnits; ++k) SetWord(block, 2 * k, RandomWord());
  for (int k = 0; k < kPasswordUnits; ++k)
    SetWord(block, 2 * k + 1, WORD(GetWord(block, 2 * k) ^ GetWord(block, 2 * k + 2) ^ padded[k]));
}

BOOL MPwdAuthentication(const BYTE* block, LPCWSTR password) {
  if (!block || !password) {
    NKDbgPrintfW(TEXT("Exception occured in MPwdAuthentication.\r\n"));
    return FALSE;
  }
  for (int k = 0; k < kPasswordUnits; ++k) {
    WORD stored = WORD(GetWord(block, 2 * k) ^ GetWord(block, 2 * k + 1) ^ GetWord(block, 2 * k + 2));
    WCHAR given = k < kMaxPasswordLength ? password[k] : 0;
    if (stored != given) return FALSE;
    if (given == 0) return TRUE;
  }
  return TRUE;
}
