#include "header.h"

#include <cstring>

#include "little_endian.h"
#include "primitives.h"

namespace archive {
namespace {

// Header bytes after the version: 0 for a version this format does not know.
uint32_t BytesAfterVersion(uint32_t version) {
  if (version == kVersion) return kHeaderBlockBytes;
  if (version == kVersionOld) return kPlatformNameBytes;
  return 0;
}

// Fills `header` from the bytes that follow its version.
void Fill(uint32_t version, const uint8_t* rest, Header* header) {
  header->version = version;
  std::memcpy(header->platformName, rest, kPlatformNameBytes);
  header->hasPasswordBlock = version == kVersion;
  if (header->hasPasswordBlock)
    std::memcpy(header->passwordBlock, rest + kPlatformNameBytes, kPasswordBlockBytes);
  else
    std::memset(header->passwordBlock, 0, kPasswordBlockBytes);
}

}  // namespace

std::u16string Header::PlatformName() const {
  std::u16string name;
  for (uint32_t i = 0; i + 1 < kPlatformNameBytes; i += 2) {
    char16_t unit = char16_t(GetLe16(platformName + i));
    if (unit == 0) break;
    name.push_back(unit);
  }
  return name;
}

void SetPlatformName(std::u16string_view name, uint8_t field[kPlatformNameBytes]) {
  std::memset(field, 0, kPlatformNameBytes);
  size_t units = name.size() < kPlatformNameBytes / 2 - 1 ? name.size() : kPlatformNameBytes / 2 - 1;
  for (size_t i = 0; i < units; ++i) PutLe16(field + 2 * i, uint16_t(name[i]));
}

void EncodeHeader(const uint8_t platformName[kPlatformNameBytes], const uint8_t passwordBlock[kPasswordBlockBytes],
                  uint8_t out[kNodeStreamOffset]) {
  PutLe32(out, kVersion);
  std::memcpy(out + kPlatformNameOffset, platformName, kPlatformNameBytes);
  std::memcpy(out + kPasswordBlockOffset, passwordBlock, kPasswordBlockBytes);
}

Result WriteHeader(MArchiveStream* stream, const uint8_t platformName[kPlatformNameBytes],
                   const uint8_t passwordBlock[kPasswordBlockBytes]) {
  uint8_t bytes[kNodeStreamOffset];
  EncodeHeader(platformName, passwordBlock, bytes);
  // The version and the header block leave in two writes, as the device's jobs write them.
  if (!PutBytes(stream, bytes, kVersionBytes) || !PutBytes(stream, bytes + kVersionBytes, kHeaderBlockBytes))
    return Found(Problem::kWriteFailed, 0);
  return Ok();
}

Result ReadHeader(MArchiveStream* stream, Header* header) {
  uint8_t version[kVersionBytes];
  if (!GetBytes(stream, version, kVersionBytes)) return Ended(Field::kVersion, 0);
  uint32_t value = GetLe32(version);
  uint32_t rest = BytesAfterVersion(value);
  if (rest == 0) return Found(Problem::kUnknownVersion, 0, value);
  uint8_t bytes[kHeaderBlockBytes];
  if (!GetBytes(stream, bytes, int32_t(rest))) return Ended(Field::kHeaderBlock, 0);
  Fill(value, bytes, header);
  return Ok();
}

Result DecodeHeader(const uint8_t* bytes, size_t size, Header* header) {
  if (size < kVersionBytes) return Ended(Field::kVersion, 0);
  uint32_t value = GetLe32(bytes);
  uint32_t rest = BytesAfterVersion(value);
  if (rest == 0) return Found(Problem::kUnknownVersion, 0, value);
  if (size < kVersionBytes + rest) return Ended(Field::kHeaderBlock, 0);
  Fill(value, bytes + kVersionBytes, header);
  return Ok();
}

}  // namespace archive
