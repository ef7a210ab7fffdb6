#include "rle_stream.h"

#include <cstdint>
#include <cstring>

using archive::kRleMaxLiterals;
using archive::kRleMaxRun;
using archive::kRleMinRepeat;

namespace {

// Length of the leading stretch of `data` made of `value` only.
LONG EqualSpan(const BYTE* data, LONG count, BYTE value) {
  LONG i = 0;
  if (count >= 8) {
    uint64_t pattern = 0x0101010101010101ull * value;
    while (i + 8 <= count) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      if (word != pattern) break;
      i += 8;
    }
  }
  while (i < count && data[i] == value) ++i;
  return i;
}

// Smallest index j in [from, count) whose byte equals the one before it, or
// count. Compares eight neighbour pairs at a time: a zero byte in
// word(j) ^ word(j - 1) marks a pair, and the lowest flagged byte of the
// classic zero-byte test is always a true zero.
LONG FirstRepeat(const BYTE* data, LONG from, LONG count) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  LONG j = from;
  for (; j + 8 <= count; j += 8) {
    uint64_t here, before;
    std::memcpy(&here, data + j, 8);
    std::memcpy(&before, data + j - 1, 8);
    uint64_t diff = here ^ before;
    uint64_t zeros = (diff - kOnes) & ~diff & kHighs;
    if (zeros) return j + LONG(__builtin_ctzll(zeros) / 8);
  }
  for (; j < count; ++j)
    if (data[j] == data[j - 1]) return j;
  return count;
}

}  // namespace

MRleStream::MRleStream(MArchiveStream* innerStream)
    : readIndex(0), runByte(0), runCount(0), literals(packet + 1), literalCount(0), inner(innerStream) {
  packet[0] = 0;
}

BOOL MRleStream::EmitLiterals() {
  packet[0] = BYTE(-literalCount);
  LONG size = literalCount + 1, done = 0;
  if (!inner->Write(packet, size, &done) || done != size) return FALSE;
  literalCount = 0;
  return TRUE;
}

BOOL MRleStream::EmitRepeat() {
  BYTE repeat[2] = {BYTE(runCount - 1), runByte};
  LONG done = 0;
  if (!inner->Write(repeat, 2, &done) || done != 2) return FALSE;
  runCount = 0;
  return TRUE;
}

BOOL MRleStream::AppendLiterals(const BYTE* data, LONG count) {
  while (count > 0) {
    LONG take = kRleMaxLiterals - literalCount;
    if (take > count) take = count;
    std::memcpy(literals + literalCount, data, size_t(take));
    literalCount += take;
    data += take;
    count -= take;
    if (literalCount == kRleMaxLiterals && !EmitLiterals()) return FALSE;
  }
  return TRUE;
}

// A run too short for a repeat packet (one or two bytes) joins the literals.
BOOL MRleStream::AppendRunCopies(BYTE value, LONG copies) {
  while (copies > 0) {
    LONG take = kRleMaxLiterals - literalCount;
    if (take > copies) take = copies;
    for (LONG k = 0; k < take; ++k) literals[literalCount + k] = value;
    literalCount += take;
    copies -= take;
    if (literalCount == kRleMaxLiterals && !EmitLiterals()) return FALSE;
  }
  return TRUE;
}

// `copies` more bytes equal to runByte arrive. A run that reaches three
// sends the waiting literals first; a run that reaches 128 leaves as a
// repeat packet and the next copy starts a new run.
BOOL MRleStream::ExtendRun(LONG copies) {
  while (copies > 0) {
    LONG take = kRleMaxRun - runCount;
    if (take > copies) take = copies;
    runCount += take;
    copies -= take;
    if (runCount >= kRleMinRepeat && literalCount > 0 && !EmitLiterals()) return FALSE;
    if (runCount == kRleMaxRun && !EmitRepeat()) return FALSE;
  }
  return TRUE;
}

// A different byte ends the current run: long runs leave as a repeat
// packet, runs of one or two join the literals.
BOOL MRleStream::EndRun() {
  if (runCount >= kRleMinRepeat && literalCount == 0) return EmitRepeat();
  LONG copies = runCount;
  runCount = 0;
  return AppendRunCopies(runByte, copies);
}

BOOL MRleStream::Encode(const BYTE* data, LONG count) {
  LONG i = 0;
  while (i < count) {
    if (runCount == 0) {
      runByte = data[i++];
      runCount = 1;
      continue;
    }
    if (data[i] == runByte) {
      LONG span = EqualSpan(data + i, count - i, runByte);
      if (!ExtendRun(span)) return FALSE;
      i += span;
      continue;
    }
    if (!EndRun()) return FALSE;
    // Bytes that differ from their successor are single-byte runs that
    // all join the literals; the last of them starts the next run.
    LONG pairAt = FirstRepeat(data, i + 1, count);
    if (!AppendLiterals(data + i, pairAt - 1 - i)) return FALSE;
    runByte = data[pairAt - 1];
    runCount = 1;
    i = pairAt;
  }
  return TRUE;
}

BOOL MRleStream::Write(const void* data, LONG count, LONG* done) {
  if (count <= 0) {
    if (done) *done = 0;
    return TRUE;
  }
  if (!Encode(static_cast<const BYTE*>(data), count)) return FALSE;
  if (done) *done = count;
  return TRUE;
}

BOOL MRleStream::Flush() {
  if (runCount >= kRleMinRepeat && literalCount == 0 && !EmitRepeat()) return FALSE;
  LONG copies = runCount;
  runCount = 0;
  if (!AppendRunCopies(runByte, copies)) return FALSE;
  if (literalCount > 0 && !EmitLiterals()) return FALSE;
  return inner->Flush();
}

BOOL MRleStream::NextPacket() {
  BYTE control = 0;
  LONG done = 0;
  if (!inner->Read(&control, 1, &done) || done != 1) return FALSE;
  if (control < 0x80) {
    BYTE value = 0;
    if (!inner->Read(&value, 1, &done) || done != 1) return FALSE;
    literalCount = 0;
    runByte = value;
    runCount = LONG(control) + 1;
    return TRUE;
  }
  LONG size = 0x100 - LONG(control);
  if (!inner->Read(literals, size, &done) || done != size) return FALSE;
  runCount = 0;
  literalCount = size;
  readIndex = 0;
  return TRUE;
}

BOOL MRleStream::Read(void* buffer, LONG count, LONG* done) {
  if (count <= 0) {
    if (done) *done = 0;
    return TRUE;
  }
  BYTE* out = static_cast<BYTE*>(buffer);
  LONG produced = 0;
  while (produced < count) {
    LONG want = count - produced;
    if (literalCount > 0) {
      LONG take = literalCount < want ? literalCount : want;
      std::memcpy(out + produced, literals + readIndex, size_t(take));
      readIndex += take;
      literalCount -= take;
      produced += take;
    } else if (runCount > 0) {
      LONG take = runCount < want ? runCount : want;
      std::memset(out + produced, runByte, size_t(take));
      runCount -= take;
      produced += take;
    } else if (!NextPacket()) {
      return FALSE;
    }
  }
  if (done) *done = count;
  return TRUE;
}
