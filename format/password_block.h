// The password block of the archive header: the password mixed with random
// words so that it is not stored as plain text. 514 little-endian words:
// the even ones are noise N0..N256, word 2k+1 holds Nk ^ N(k+1) ^ Pk, where
// P is the password, a zero unit and random units up to 256; the last word
// is zero. The check recovers P from the block alone; nothing random is
// regenerated.
#pragma once

#include <cstdint>

#include "archive_format.h"

namespace archive {

// Where the random words come from: the device's `rand` in the programs,
// the host's random device in the tools, a fixed sequence in tests.
class RandomWords {
 public:
  virtual ~RandomWords() = default;
  virtual uint16_t Next() = 0;
};

// Fills the block from a zero-terminated password. Passwords longer than
// 255 units are cut to their first 255, so the terminator always fits.
// Draws 256 words for the padding first, then the 257 noise words in order.
void MakePasswordBlock(const char16_t* password, uint8_t block[kPasswordBlockBytes], RandomWords& random);
// The padded password the block was made from.
void RecoverPassword(const uint8_t block[kPasswordBlockBytes], char16_t padded[kPasswordUnits]);
// True when the password matches, comparing at most 256 units (case
// matters) up to the terminator; a longer password is cut as above.
bool PasswordMatches(const uint8_t block[kPasswordBlockBytes], const char16_t* password);
// A block made from the empty password means "no password set".
inline bool HasPassword(const uint8_t block[kPasswordBlockBytes]) { return !PasswordMatches(block, u""); }

}  // namespace archive
