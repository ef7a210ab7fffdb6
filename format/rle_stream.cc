#include "rle_stream.h"

#include <cstdint>
#include <cstring>

#include "rle_scan.h"

using archive::kRleMaxLiterals;
using archive::kRleMaxRun;
using archive::kRleMinRepeat;
using archive::EqualSpan;
using archive::FirstRepeat;

MRleStream::MRleStream(MArchiveStream* innerStream)
    : readIndex(0), runByte(0), runCount(0), literals(packet + 1), literalCount(0), inner(innerStream) {
  packet[0] = 0;
}

bool MRleStream::EmitLiterals() {
  packet[0] = uint8_t(-literalCount);
  int32_t size = literalCount + 1, done = 0;
  if (!inner->Write(packet, size, &done) || done != size) return false;
  literalCount = 0;
  return true;
}

bool MRleStream::EmitRepeat() {
  uint8_t repeat[2] = {uint8_t(runCount - 1), runByte};
  int32_t done = 0;
  if (!inner->Write(repeat, 2, &done) || done != 2) return false;
  runCount = 0;
  return true;
}

bool MRleStream::AppendLiterals(const uint8_t* data, int32_t count) {
  while (count > 0) {
    int32_t take = kRleMaxLiterals - literalCount;
    if (take > count) take = count;
    std::memcpy(literals + literalCount, data, size_t(take));
    literalCount += take;
    data += take;
    count -= take;
    if (literalCount == kRleMaxLiterals && !EmitLiterals()) return false;
  }
  return true;
}

// A run too short for a repeat packet (one or two bytes) joins the literals.
bool MRleStream::AppendRunCopies(uint8_t value, int32_t copies) {
  while (copies > 0) {
    int32_t take = kRleMaxLiterals - literalCount;
    if (take > copies) take = copies;
    for (int32_t k = 0; k < take; ++k) literals[literalCount + k] = value;
    literalCount += take;
    copies -= take;
    if (literalCount == kRleMaxLiterals && !EmitLiterals()) return false;
  }
  return true;
}

// `copies` more bytes equal to runByte arrive. A run that reaches three
// sends the waiting literals first; a run that reaches 128 leaves as a
// repeat packet and the next copy starts a new run.
bool MRleStream::ExtendRun(int32_t copies) {
  while (copies > 0) {
    int32_t take = kRleMaxRun - runCount;
    if (take > copies) take = copies;
    runCount += take;
    copies -= take;
    if (runCount >= kRleMinRepeat && literalCount > 0 && !EmitLiterals()) return false;
    if (runCount == kRleMaxRun && !EmitRepeat()) return false;
  }
  return true;
}

// A different byte ends the current run: long runs leave as a repeat
// packet, runs of one or two join the literals.
bool MRleStream::EndRun() {
  if (runCount >= kRleMinRepeat && literalCount == 0) return EmitRepeat();
  int32_t copies = runCount;
  runCount = 0;
  return AppendRunCopies(runByte, copies);
}

bool MRleStream::Encode(const uint8_t* data, int32_t count) {
  int32_t i = 0;
  while (i < count) {
    if (runCount == 0) {
      runByte = data[i++];
      runCount = 1;
      continue;
    }
    if (data[i] == runByte) {
      int32_t span = EqualSpan(data + i, count - i, runByte);
      if (!ExtendRun(span)) return false;
      i += span;
      continue;
    }
    if (!EndRun()) return false;
    // Bytes that differ from their successor are single-byte runs that
    // all join the literals; the last of them starts the next run.
    int32_t pairAt = FirstRepeat(data, i + 1, count);
    if (!AppendLiterals(data + i, pairAt - 1 - i)) return false;
    runByte = data[pairAt - 1];
    runCount = 1;
    i = pairAt;
  }
  return true;
}

int32_t MRleStream::Write(const void* data, int32_t count, int32_t* done) {
  if (count <= 0) {
    if (done) *done = 0;
    return 1;
  }
  if (!Encode(static_cast<const uint8_t*>(data), count)) return 0;
  if (done) *done = count;
  return 1;
}

int32_t MRleStream::Flush() {
  if (runCount >= kRleMinRepeat && literalCount == 0 && !EmitRepeat()) return 0;
  int32_t copies = runCount;
  runCount = 0;
  if (!AppendRunCopies(runByte, copies)) return 0;
  if (literalCount > 0 && !EmitLiterals()) return 0;
  return inner->Flush();
}

bool MRleStream::NextPacket() {
  uint8_t control = 0;
  int32_t done = 0;
  if (!inner->Read(&control, 1, &done) || done != 1) return false;
  if (control < 0x80) {
    uint8_t value = 0;
    if (!inner->Read(&value, 1, &done) || done != 1) return false;
    literalCount = 0;
    runByte = value;
    runCount = int32_t(control) + 1;
    return true;
  }
  int32_t size = 0x100 - int32_t(control);
  if (!inner->Read(literals, size, &done) || done != size) return false;
  runCount = 0;
  literalCount = size;
  readIndex = 0;
  return true;
}

int32_t MRleStream::Read(void* buffer, int32_t count, int32_t* done) {
  if (count <= 0) {
    if (done) *done = 0;
    return 1;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int32_t produced = 0;
  while (produced < count) {
    int32_t want = count - produced;
    if (literalCount > 0) {
      int32_t take = literalCount < want ? literalCount : want;
      std::memcpy(out + produced, literals + readIndex, size_t(take));
      readIndex += take;
      literalCount -= take;
      produced += take;
    } else if (runCount > 0) {
      int32_t take = runCount < want ? runCount : want;
      std::memset(out + produced, runByte, size_t(take));
      runCount -= take;
      produced += take;
    } else if (!NextPacket()) {
      return 0;
    }
  }
  if (done) *done = count;
  return 1;
}
