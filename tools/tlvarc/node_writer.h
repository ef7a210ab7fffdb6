// Writes archives: the header (version, platform name, password block) and
// node records through the format's run-length coder and record codecs, so
// what `create` packs is byte for byte what the device would write.
#pragma once

#include <string>
#include <vector>

#include "archive_stream.h"
#include "record_walker.h"
#include "rle_stream.h"
#include "status.h"

namespace tlvarc {

// Version 0x00010002 with the platform name and a password block made from
// `password` (empty: no password), its noise from the host's random device.
Status WriteArchiveHeader(MArchiveStream* file, const std::u16string& platform, const std::u16string& password);

// The password block for `password`, as the header carries it.
void MakePasswordBlock(const std::u16string& password, uint8_t* block);

class NodeWriter {
 public:
  // `file` receives the coded node stream; call Finish at the end.
  explicit NodeWriter(MArchiveStream* file) : coder_(file) {}

  // The root, folders and the database folder.
  Status Container(int32_t type, const std::u16string& name);
  // Registry roots and keys carry a class name.
  Status Key(int32_t type, const std::u16string& name, const std::u16string& class_name);
  Status End();
  // The file's header and fields; its `size` bytes of content follow through Content.
  Status FileHeader(const std::u16string& name, const FileFields& fields);
  Status Content(const void* data, size_t size);
  Status Value(const std::u16string& name, uint32_t type, const std::vector<uint8_t>& data);
  Status Database(const std::u16string& name, const DatabaseFields& fields);
  Status Record(uint16_t property_count, const std::vector<uint8_t>& buffer);
  Status DatabaseEnd();
  // Flushes the coder's held bytes.
  Status Finish();

 private:
  Status Bytes(const void* data, size_t size);

  MRleStream coder_;
};

}  // namespace tlvarc
