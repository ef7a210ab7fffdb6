#include "password_block.h"

#include <cstring>

#include "little_endian.h"

namespace archive {
namespace {

uint16_t Word(const uint8_t* block, int index) { return GetLe16(block + 2 * index); }
void SetWord(uint8_t* block, int index, uint16_t value) { PutLe16(block + 2 * index, value); }

}  // namespace

void MakePasswordBlock(const char16_t* password, uint8_t block[kPasswordBlockBytes], RandomWords& random) {
  uint16_t padded[kPasswordUnits];
  for (uint16_t& unit : padded) unit = random.Next();
  int length = 0;
  while (length < kMaxPasswordLength && password[length]) {
    padded[length] = password[length];
    ++length;
  }
  padded[length] = 0;

  std::memset(block, 0, kPasswordBlockBytes);
  for (int k = 0; k <= kPasswordUnits; ++k) SetWord(block, 2 * k, random.Next());
  for (int k = 0; k < kPasswordUnits; ++k)
    SetWord(block, 2 * k + 1, uint16_t(Word(block, 2 * k) ^ Word(block, 2 * k + 2) ^ padded[k]));
}

void RecoverPassword(const uint8_t block[kPasswordBlockBytes], char16_t padded[kPasswordUnits]) {
  for (int k = 0; k < kPasswordUnits; ++k)
    padded[k] = char16_t(Word(block, 2 * k) ^ Word(block, 2 * k + 1) ^ Word(block, 2 * k + 2));
}

bool PasswordMatches(const uint8_t block[kPasswordBlockBytes], const char16_t* password) {
  char16_t stored[kPasswordUnits];
  RecoverPassword(block, stored);
  for (int k = 0; k < kPasswordUnits; ++k) {
    char16_t given = k < kMaxPasswordLength ? password[k] : 0;
    if (stored[k] != given) return false;
    if (given == 0) return true;
  }
  return true;
}

}  // namespace archive
