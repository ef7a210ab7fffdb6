// An archive file opened for reading: the header (version, platform name,
// password block) and, behind it, the decoded node stream. The password is
// checked here, before a single byte of the node stream is looked at.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "archive_format.h"
#include "header.h"
#include "host_stream.h"
#include "node_records.h"
#include "result.h"
#include "rle_stream.h"
#include "status.h"

namespace tlvarc {

struct ArchiveHeader {
  uint32_t version = 0;
  std::u16string platform;  // up to the first zero unit
  bool has_password_block = false;
  std::array<uint8_t, archive::kPasswordBlockBytes> password_block{};
  uint64_t node_stream_offset = 0;

  // A block made from the empty password means "no password set".
  bool PasswordSet() const;
  bool Accepts(const std::u16string& password) const;
};

class ArchiveFile {
 public:
  // Opens and reads the header; the node stream is not touched.
  Status Open(const std::string& path);
  Status OpenMemory(const uint8_t* data, size_t size, const std::string& name);
  const ArchiveHeader& Header() const { return header_; }
  const std::string& Path() const { return file_.Path(); }
  uint64_t CodedSize() const { return file_.Size(); }
  uint64_t CodedPosition() const { return file_.Position(); }
  const std::string& HostError() const { return file_.Error(); }

  // The decoded node stream, counting its own offset.
  CountingStream* Nodes() { return &counted_; }
  uint64_t DecodedOffset() const { return counted_.Count(); }
  // After the root: nothing may follow it, decoded or coded.
  archive::Result CheckEnd() { return archive::CheckNodeStreamEnd(&decoder_, &file_); }

 private:
  Status ReadHeader();

  HostReadStream file_;
  MRleStream decoder_{&file_};
  CountingStream counted_{&decoder_};
  ArchiveHeader header_;
};

// The header fields that follow the version, from bytes already read: shared
// by the reader and by `passwd`, which rewrites only the password block.
Status ParseHeader(const uint8_t* bytes, size_t size, const std::string& where, ArchiveHeader* header);

}  // namespace tlvarc
