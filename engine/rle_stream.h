// Run-length coding filter over another stream. Every archive body passes
// through it. Runs of three or more equal bytes become repeat packets (at
// most 128 copies each), everything else goes into literal packets of at
// most 128 bytes; the byte sequence written is fixed by the archive format,
// so the block coder below reproduces exactly what the byte-by-byte rules
// produce, only without touching every byte through a virtual call.
#pragma once

#include "archive_format.h"
#include "archive_stream.h"

class MRleStream : public MArchiveStream {
 public:
  // `inner` is not owned: never closed, destroyed or flushed except by Flush.
  explicit MRleStream(MArchiveStream* inner);
  // Does not flush: a writer calls Flush at the end or loses held bytes.
  ~MRleStream() override = default;

  BOOL Read(void* buffer, LONG count, LONG* done) override;
  BOOL Write(const void* data, LONG count, LONG* done) override;
  BOOL Flush() override;

 private:
  BOOL Encode(const BYTE* data, LONG count);
  BOOL ExtendRun(LONG copies);
  BOOL EndRun();
  BOOL AppendLiterals(const BYTE* data, LONG count);
  BOOL AppendRunCopies(BYTE value, LONG copies);
  BOOL EmitLiterals();
  BOOL EmitRepeat();
  BOOL NextPacket();

  LONG readIndex;
  BYTE runByte;
  LONG runCount;
  // Literal bytes sit right after the control byte so a packet leaves in one write.
  BYTE packet[1 + archive::kRleMaxLiterals];
  BYTE* const literals;
  LONG literalCount;
  MArchiveStream* inner;
};
