// Archive streams over plain host files, so the engine's run-length coder
// and record primitives work on a PC without an emulated device. Reading
// uses a large buffer: the record walker asks for a few bytes at a time and
// the coder for one packet at a time, and both must run at disk speed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive_stream.h"
#include "status.h"

namespace tlvarc {

class HostReadStream : public MArchiveStream {
 public:
  HostReadStream() = default;
  ~HostReadStream() override;
  HostReadStream(const HostReadStream&) = delete;
  HostReadStream& operator=(const HostReadStream&) = delete;

  Status Open(const std::string& path);
  // Reads bytes held in memory instead of a file (the fuzz target).
  void OpenMemory(const uint8_t* data, size_t size, const std::string& name);
  int32_t Read(void* buffer, int32_t count, int32_t* done) override;
  int32_t Write(const void*, int32_t, int32_t* done) override;
  int32_t Flush() override { return 1; }

  // Bytes handed out so far: the offset in the file of the next byte.
  uint64_t Position() const { return consumed_; }
  uint64_t Size() const { return size_; }
  bool AtEnd() const { return consumed_ >= size_; }
  // Set when a host read failed (as opposed to reaching the end of the file).
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return path_; }

 private:
  bool Refill();

  int fd_ = -1;
  std::string path_;
  std::string error_;
  uint64_t size_ = 0;
  uint64_t consumed_ = 0;
  std::vector<uint8_t> buffer_;  // 256 KiB for a file, the bytes themselves in memory
  size_t at_ = 0;
  size_t filled_ = 0;
};

// Writes a new host file through a buffer. Commit() makes it durable and
// moves it over the target; until then the target is untouched and a
// destroyed writer removes its temporary file.
class HostWriteStream : public MArchiveStream {
 public:
  HostWriteStream() = default;
  ~HostWriteStream() override;
  HostWriteStream(const HostWriteStream&) = delete;
  HostWriteStream& operator=(const HostWriteStream&) = delete;

  Status Create(const std::string& target);
  int32_t Read(void*, int32_t, int32_t* done) override;
  int32_t Write(const void* data, int32_t count, int32_t* done) override;
  int32_t Flush() override;
  Status Commit();
  const std::string& Error() const { return error_; }
  uint64_t Written() const { return written_; }

 private:
  bool Drain();
  void Discard();

  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::string error_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1 << 18);
  size_t filled_ = 0;
  uint64_t written_ = 0;
};

// Counts the bytes read through it: the offset in the decoded node stream
// that damage reports name.
class CountingStream : public MArchiveStream {
 public:
  explicit CountingStream(MArchiveStream* inner) : inner_(inner) {}
  int32_t Read(void* buffer, int32_t count, int32_t* done) override {
    int32_t got = 0;
    int32_t ok = inner_->Read(buffer, count, &got);
    if (ok) count_ += uint64_t(got);
    if (done) *done = got;
    return ok;
  }
  int32_t Write(const void* data, int32_t count, int32_t* done) override {
    int32_t put = 0;
    int32_t ok = inner_->Write(data, count, &put);
    if (ok) count_ += uint64_t(put);
    if (done) *done = put;
    return ok;
  }
  int32_t Flush() override { return inner_->Flush(); }
  uint64_t Count() const { return count_; }

 private:
  MArchiveStream* inner_;
  uint64_t count_ = 0;
};

}  // namespace tlvarc
