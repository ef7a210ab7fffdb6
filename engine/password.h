// The password block of the archive header: the password mixed with random
// words so that it is not stored as plain text. The check recovers the
// padded password from the block alone; nothing random is regenerated.
#pragma once

#include "archive_format.h"

// Fills the 1028-byte block from the password. Passwords longer than 255
// units are cut to their first 255, so the terminator always fits.
void MPwdEncryption(LPCWSTR password, BYTE* block);
// TRUE when the password matches the block, comparing at most 256 units
// (case matters) up to the terminator. A password longer than 255 units is
// cut the same way as by MPwdEncryption, so it matches its own block.
BOOL MPwdAuthentication(const BYTE* block, LPCWSTR password);
