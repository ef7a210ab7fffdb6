#include "password.h"

#include <windows.h>

#include "ce/stdlib.h"
#include "password_block.h"

namespace {

// The noise comes from the device's runtime generator, in whatever state
// the process has left it; nothing seeds it.
class DeviceRandomWords : public archive::RandomWords {
 public:
  uint16_t Next() override { return uint16_t(rand() & 0xFFFF); }
};

}  // namespace

void MPwdEncryption(LPCWSTR password, BYTE* block) {
  if (!password || !block) {
    NKDbgPrintfW(TEXT("Exception occured in MPwdEncryption.\r\n"));
    return;
  }
  DeviceRandomWords random;
  archive::MakePasswordBlock(password, block, random);
}

BOOL MPwdAuthentication(const BYTE* block, LPCWSTR password) {
  if (!block || !password) {
    NKDbgPrintfW(TEXT("Exception occured in MPwdAuthentication.\r\n"));
    return FALSE;
  }
  return archive::PasswordMatches(block, password) ? TRUE : FALSE;
}
