// Run-length coding filter over another stream. Every archive body passes
// through it. Runs of three or more equal bytes become repeat packets (at
// most 128 copies each), everything else goes into literal packets of at
// most 128 bytes; the byte sequence written is fixed by the archive format,
// so the block coder below reproduces exactly what the byte-by-byte rules
// produce, only without touching every byte through a virtual call.
#pragma once

#include <cstdint>

#include "archive_format.h"
#include "archive_stream.h"

class MRleStream : public MArchiveStream {
 public:
  // `inner` is not owned: never closed, destroyed or flushed except by Flush.
  explicit MRleStream(MArchiveStream* inner);
  // Does not flush: a writer calls Flush at the end or loses held bytes.
  ~MRleStream() override = default;

  int32_t Read(void* buffer, int32_t count, int32_t* done) override;
  int32_t Write(const void* data, int32_t count, int32_t* done) override;
  int32_t Flush() override;

  // While reading: decoded bytes of the current packet not handed out yet.
  bool HasUnreadBytes() const { return literalCount > 0 || runCount > 0; }

 private:
  bool Encode(const uint8_t* data, int32_t count);
  bool ExtendRun(int32_t copies);
  bool EndRun();
  bool AppendLiterals(const uint8_t* data, int32_t count);
  bool AppendRunCopies(uint8_t value, int32_t copies);
  bool EmitLiterals();
  bool EmitRepeat();
  bool NextPacket();

  int32_t readIndex;
  uint8_t runByte;
  int32_t runCount;
  // Literal bytes sit right after the control byte so a packet leaves in one write.
  uint8_t packet[1 + archive::kRleMaxLiterals];
  uint8_t* const literals;
  int32_t literalCount;
  MArchiveStream* inner;
};
