#include "archive_file.h"

#include <cstdio>
#include <cstring>

#include "password.h"

namespace tlvarc {

using archive::kHeaderBlockBytes;
using archive::kPasswordBlockBytes;
using archive::kPlatformNameBytes;

bool ArchiveHeader::PasswordSet() const {
  return has_password_block && !MPwdAuthentication(password_block.data(), u"");
}

bool ArchiveHeader::Accepts(const std::u16string& password) const {
  if (!has_password_block) return true;  // the old layout carries no password
  return MPwdAuthentication(password_block.data(), password.c_str());
}

Status ParseHeader(const BYTE* bytes, size_t size, const std::string& where, ArchiveHeader* header) {
  if (size < archive::kVersionBytes) return Status::Damaged(where + ": too short for an archive header");
  header->version = DWORD(bytes[0]) | DWORD(bytes[1]) << 8 | DWORD(bytes[2]) << 16 | DWORD(bytes[3]) << 24;
  size_t needed;
  if (header->version == archive::kVersion) {
    needed = archive::kNodeStreamOffset;
  } else if (header->version == archive::kVersionOld) {
    needed = archive::kOldNodeStreamOffset;
  } else {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(header->version));
    return Status::Damaged(where + ": unknown format version " + text + " at offset 0");
  }
  if (size < needed) return Status::Damaged(where + ": the header ends early (the file has " + std::to_string(size) + " bytes)");
  const BYTE* name = bytes + archive::kPlatformNameOffset;
  header->platform.clear();
  for (size_t i = 0; i + 1 < kPlatformNameBytes; i += 2) {
    char16_t unit = char16_t(name[i] | name[i + 1] << 8);
    if (unit == 0) break;
    header->platform.push_back(unit);
  }
  header->has_password_block = header->version == archive::kVersion;
  if (header->has_password_block)
    std::memcpy(header->password_block.data(), bytes + archive::kPasswordBlockOffset, kPasswordBlockBytes);
  header->node_stream_offset = needed;
  return {};
}

Status ArchiveFile::Open(const std::string& path) {
  TLVARC_TRY(file_.Open(path));
  return ReadHeader();
}

Status ArchiveFile::OpenMemory(const uint8_t* data, size_t size, const std::string& name) {
  file_.OpenMemory(data, size, name);
  return ReadHeader();
}

Status ArchiveFile::ReadHeader() {
  BYTE bytes[archive::kNodeStreamOffset];
  // The old layout's header is shorter: read the version first, then only
  // as much as that version has.
  LONG got = 0;
  file_.Read(bytes, archive::kVersionBytes, &got);
  if (!file_.Error().empty()) return Status::Io(file_.Error());
  size_t have = size_t(got);
  if (have == archive::kVersionBytes) {
    DWORD version = DWORD(bytes[0]) | DWORD(bytes[1]) << 8 | DWORD(bytes[2]) << 16 | DWORD(bytes[3]) << 24;
    LONG rest = version == archive::kVersionOld ? LONG(kPlatformNameBytes) : LONG(kHeaderBlockBytes);
    got = 0;
    file_.Read(bytes + have, rest, &got);
    if (!file_.Error().empty()) return Status::Io(file_.Error());
    have += size_t(got);
  }
  return ParseHeader(bytes, have, file_.Path(), &header_);
}

}  // namespace tlvarc
