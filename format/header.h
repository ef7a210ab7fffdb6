// The archive file's header: the version, then in the current layout the
// 1280-byte header block (the platform name field and the password block),
// in the old layout the platform name field alone. The node stream follows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive_format.h"
#include "archive_stream.h"
#include "result.h"

namespace archive {

struct Header {
  uint32_t version = kVersion;
  uint8_t platformName[kPlatformNameBytes] = {};  // UTF-16LE, zero-padded
  bool hasPasswordBlock = true;                   // false in the old layout
  uint8_t passwordBlock[kPasswordBlockBytes] = {};

  // Where the node stream starts.
  uint32_t NodeStreamOffset() const { return hasPasswordBlock ? kNodeStreamOffset : kOldNodeStreamOffset; }
  // The platform name up to its first zero unit.
  std::u16string PlatformName() const;
};

// The platform name field of `name`: at most 125 units, then zeros.
void SetPlatformName(std::u16string_view name, uint8_t field[kPlatformNameBytes]);

// The current layout: version, platform name field, password block.
void EncodeHeader(const uint8_t platformName[kPlatformNameBytes], const uint8_t passwordBlock[kPasswordBlockBytes],
                  uint8_t out[kNodeStreamOffset]);
Result WriteHeader(MArchiveStream* stream, const uint8_t platformName[kPlatformNameBytes],
                   const uint8_t passwordBlock[kPasswordBlockBytes]);

// Reads the version and as much as that version's header has; refuses an
// unknown version before reading further.
Result ReadHeader(MArchiveStream* stream, Header* header);
// The same over bytes already in memory (`size` may hold more than the header).
Result DecodeHeader(const uint8_t* bytes, size_t size, Header* header);

}  // namespace archive
