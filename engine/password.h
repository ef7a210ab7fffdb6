// The password operations of the jobs: the block of the archive header made
// from a password with the device's own random words, and the check of a
// password against a block (see password_block.h for the block itself).
#pragma once

#include "archive_format.h"
#include "ce/types.h"

// Fills the 1028-byte block from the password. Passwords longer than 255
// units are cut to their first 255, so the terminator always fits.
void MPwdEncryption(LPCWSTR password, BYTE* block);
// TRUE when the password matches the block, comparing at most 256 units
// (case matters) up to the terminator. A password longer than 255 units is
// cut the same way as by MPwdEncryption, so it matches its own block.
BOOL MPwdAuthentication(const BYTE* block, LPCWSTR password);
