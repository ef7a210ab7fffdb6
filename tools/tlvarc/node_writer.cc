#include "node_writer.h"

#include <random>

#include "archive_format.h"
#include "header.h"
#include "node_records.h"
#include "password_block.h"
#include "primitives.h"

namespace tlvarc {
namespace {

Status WriteFailed() { return Status::Io("cannot write the archive"); }

Status Wrote(const archive::Result& result) { return result.ok() ? Status() : WriteFailed(); }

// Noise for password blocks made on a PC: the host's own random device.
class HostRandomWords : public archive::RandomWords {
 public:
  uint16_t Next() override { return uint16_t(device_()); }

 private:
  std::random_device device_;
};

}  // namespace

void MakePasswordBlock(const std::u16string& password, uint8_t* block) {
  HostRandomWords random;
  archive::MakePasswordBlock(password.c_str(), block, random);
}

Status WriteArchiveHeader(MArchiveStream* file, const std::u16string& platform, const std::u16string& password) {
  uint8_t name[archive::kPlatformNameBytes], block[archive::kPasswordBlockBytes];
  archive::SetPlatformName(platform, name);
  MakePasswordBlock(password, block);
  return Wrote(archive::WriteHeader(file, name, block));
}

Status NodeWriter::Bytes(const void* data, size_t size) {
  const uint8_t* at = static_cast<const uint8_t*>(data);
  while (size > 0) {
    int32_t piece = size > (1u << 30) ? int32_t(1u << 30) : int32_t(size);
    if (!archive::PutBytes(&coder_, at, piece)) return WriteFailed();
    at += piece;
    size -= size_t(piece);
  }
  return {};
}

Status NodeWriter::Container(int32_t type, const std::u16string& name) {
  return Wrote(archive::WriteNodeHeader(&coder_, type, name));
}

Status NodeWriter::Key(int32_t type, const std::u16string& name, const std::u16string& class_name) {
  TLVARC_TRY(Wrote(archive::WriteNodeHeader(&coder_, type, name)));
  return Wrote(archive::WriteText(&coder_, class_name));
}

Status NodeWriter::End() { return Wrote(archive::WriteEndMarker(&coder_)); }

Status NodeWriter::FileHeader(const std::u16string& name, const FileFields& fields) {
  TLVARC_TRY(Wrote(archive::WriteNodeHeader(&coder_, archive::kNodeFile, name)));
  return Wrote(archive::WriteFileFields(&coder_, fields));
}

Status NodeWriter::Content(const void* data, size_t size) { return Bytes(data, size); }

Status NodeWriter::Value(const std::u16string& name, uint32_t type, const std::vector<uint8_t>& data) {
  TLVARC_TRY(Wrote(archive::WriteNodeHeader(&coder_, archive::kNodeRegValue, name)));
  TLVARC_TRY(Wrote(archive::WriteValueHeader(&coder_, {type, uint32_t(data.size())})));
  return Bytes(data.data(), data.size());
}

Status NodeWriter::Database(const std::u16string& name, const DatabaseFields& fields) {
  TLVARC_TRY(Wrote(archive::WriteNodeHeader(&coder_, archive::kNodeDatabase, name)));
  return Wrote(archive::WriteDatabaseFields(&coder_, fields));
}

Status NodeWriter::Record(uint16_t property_count, const std::vector<uint8_t>& buffer) {
  TLVARC_TRY(Wrote(archive::WriteRecordHeader(&coder_, property_count, uint32_t(buffer.size()))));
  return Bytes(buffer.data(), buffer.size());
}

Status NodeWriter::DatabaseEnd() { return Wrote(archive::WriteRecordsEnd(&coder_)); }

Status NodeWriter::Finish() { return coder_.Flush() ? Status() : WriteFailed(); }

}  // namespace tlvarc
