// Writes archives: the header (version, platform name, password block) and
// node records through the engine's run-length coder and record primitives,
// so what `create` packs is byte for byte what the device would write.
#pragma once

#include <string>
#include <vector>

#include "archive_stream.h"
#include "record_walker.h"
#include "rle_stream.h"
#include "status.h"

namespace tlvarc {

// Version 0x00010002 with the platform name and a password block made from
// `password` (empty: no password).
Status WriteArchiveHeader(MArchiveStream* file, const std::u16string& platform, const std::u16string& password);

class NodeWriter {
 public:
  // `file` receives the coded node stream; call Finish at the end.
  explicit NodeWriter(MArchiveStream* file) : coder_(file) {}

  // The root, folders and the database folder.
  Status Container(LONG type, const std::u16string& name);
  // Registry roots and keys carry a class name.
  Status Key(LONG type, const std::u16string& name, const std::u16string& class_name);
  Status End();
  // The file's header and fields; its `size` bytes of content follow through Content.
  Status FileHeader(const std::u16string& name, const FileFields& fields);
  Status Content(const void* data, size_t size);
  Status Value(const std::u16string& name, DWORD type, const std::vector<BYTE>& data);
  Status Database(const std::u16string& name, const DatabaseFields& fields);
  Status Record(WORD property_count, const std::vector<BYTE>& buffer);
  Status DatabaseEnd();
  // Flushes the coder's held bytes.
  Status Finish();

 private:
  Status Header(LONG type, const std::u16string& name);
  Status U16(DWORD value);
  Status U32(DWORD value);
  Status Bytes(const void* data, size_t size);

  MRleStream coder_;
};

}  // namespace tlvarc
