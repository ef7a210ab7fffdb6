#include "archive_file.h"

#include <cstring>

#include "node_records.h"
#include "password_block.h"

namespace tlvarc {
namespace {

// What a header problem is called; a header cut short says how much there was.
Status HeaderProblem(const archive::Result& result, const std::string& where, uint64_t size) {
  std::string what = archive::Describe(result);
  if (result.field == archive::Field::kHeaderBlock) what += " (the file has " + std::to_string(size) + " bytes)";
  return Status::Damaged(where + ": " + what);
}

void Take(const archive::Header& from, ArchiveHeader* header) {
  header->version = from.version;
  header->platform = from.PlatformName();
  header->has_password_block = from.hasPasswordBlock;
  std::memcpy(header->password_block.data(), from.passwordBlock, archive::kPasswordBlockBytes);
  header->node_stream_offset = from.NodeStreamOffset();
}

}  // namespace

bool ArchiveHeader::PasswordSet() const { return has_password_block && archive::HasPassword(password_block.data()); }

bool ArchiveHeader::Accepts(const std::u16string& password) const {
  if (!has_password_block) return true;  // the old layout carries no password
  return archive::PasswordMatches(password_block.data(), password.c_str());
}

Status ParseHeader(const uint8_t* bytes, size_t size, const std::string& where, ArchiveHeader* header) {
  archive::Header decoded;
  archive::Result result = archive::DecodeHeader(bytes, size, &decoded);
  if (!result.ok()) return HeaderProblem(result, where, size);
  Take(decoded, header);
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
  archive::Header decoded;
  archive::Result result = archive::ReadHeader(&file_, &decoded);
  if (!file_.Error().empty()) return Status::Io(file_.Error());
  if (!result.ok()) return HeaderProblem(result, file_.Path(), file_.Size());
  Take(decoded, &header_);
  return {};
}

}  // namespace tlvarc
