#include "node_writer.h"

#include <algorithm>

#include "archive_format.h"
#include "password.h"
#include "records.h"

namespace tlvarc {
namespace {

Status WriteFailed() { return Status::Io("cannot write the archive"); }

}  // namespace

Status WriteArchiveHeader(MArchiveStream* file, const std::u16string& platform, const std::u16string& password) {
  BYTE header[archive::kNodeStreamOffset] = {};
  DWORD version = archive::kVersion;
  for (int i = 0; i < 4; ++i) header[i] = BYTE(version >> (8 * i));
  size_t units = std::min(platform.size(), size_t(archive::kPlatformNameBytes / 2 - 1));
  for (size_t i = 0; i < units; ++i) {
    header[archive::kPlatformNameOffset + 2 * i] = BYTE(platform[i]);
    header[archive::kPlatformNameOffset + 2 * i + 1] = BYTE(platform[i] >> 8);
  }
  MPwdEncryption(password.c_str(), header + archive::kPasswordBlockOffset);
  LONG done = 0;
  if (!file->Write(header, sizeof header, &done) || done != LONG(sizeof header)) return WriteFailed();
  return {};
}

Status NodeWriter::U16(DWORD value) { return WriteU16(&coder_, value) ? Status() : WriteFailed(); }
Status NodeWriter::U32(DWORD value) { return WriteU32(&coder_, value) ? Status() : WriteFailed(); }

Status NodeWriter::Bytes(const void* data, size_t size) {
  const BYTE* at = static_cast<const BYTE*>(data);
  while (size > 0) {
    LONG piece = size > (1u << 30) ? LONG(1u << 30) : LONG(size);
    if (!WriteBytes(&coder_, at, piece)) return WriteFailed();
    at += piece;
    size -= size_t(piece);
  }
  return {};
}

Status NodeWriter::Header(LONG type, const std::u16string& name) {
  TLVARC_TRY(U32(DWORD(type)));
  return WriteString(&coder_, name.c_str()) ? Status() : WriteFailed();
}

Status NodeWriter::Container(LONG type, const std::u16string& name) { return Header(type, name); }

Status NodeWriter::Key(LONG type, const std::u16string& name, const std::u16string& class_name) {
  TLVARC_TRY(Header(type, name));
  return WriteString(&coder_, class_name.c_str()) ? Status() : WriteFailed();
}

Status NodeWriter::End() { return U32(DWORD(archive::kNodeEnd)); }

Status NodeWriter::FileHeader(const std::u16string& name, const FileFields& f) {
  TLVARC_TRY(Header(archive::kNodeFile, name));
  const DWORD fields[8] = {f.attributes,          f.creation.dwLowDateTime, f.creation.dwHighDateTime,
                           f.access.dwLowDateTime, f.access.dwHighDateTime,  f.write.dwLowDateTime,
                           f.write.dwHighDateTime, f.size};
  for (DWORD v : fields) TLVARC_TRY(U32(v));
  return {};
}

Status NodeWriter::Content(const void* data, size_t size) { return Bytes(data, size); }

Status NodeWriter::Value(const std::u16string& name, DWORD type, const std::vector<BYTE>& data) {
  TLVARC_TRY(Header(archive::kNodeRegValue, name));
  TLVARC_TRY(U32(type));
  TLVARC_TRY(U32(DWORD(data.size())));
  return Bytes(data.data(), data.size());
}

Status NodeWriter::Database(const std::u16string& name, const DatabaseFields& f) {
  TLVARC_TRY(Header(archive::kNodeDatabase, name));
  TLVARC_TRY(U32(f.type));
  TLVARC_TRY(U16(DWORD(f.sorts.size())));
  for (const SortOrder& s : f.sorts) {
    TLVARC_TRY(U32(s.propid));
    TLVARC_TRY(U32(s.flags));
  }
  return {};
}

Status NodeWriter::Record(WORD property_count, const std::vector<BYTE>& buffer) {
  TLVARC_TRY(U16(property_count));
  TLVARC_TRY(U32(DWORD(buffer.size())));
  return Bytes(buffer.data(), buffer.size());
}

Status NodeWriter::DatabaseEnd() { return U16(0); }

Status NodeWriter::Finish() { return coder_.Flush() ? Status() : WriteFailed(); }

}  // namespace tlvarc
