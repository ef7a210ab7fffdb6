#include "rle_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "rle_scan.h"
#include "test_streams.h"

namespace {

// The coder written rule by rule, one byte at a time: the reference the
// block coder must match byte for byte.
class ReferenceEncoder {
 public:
  Bytes out;
  void Put(uint8_t b) {
    if (run_ > 0 && b == run_byte_) {
      ++run_;
      if (run_ >= 3 && lit_.size() >= 1) EmitLiterals();
      if (run_ == 128) EmitRepeat();
      return;
    }
    if (run_ > 0) {
      if (run_ >= 3 && lit_.empty()) {
        EmitRepeat();
      } else {
        for (int i = 0; i < run_; ++i) {
          lit_.push_back(run_byte_);
          if (lit_.size() == 128) EmitLiterals();
        }
      }
    }
    run_byte_ = b;
    run_ = 1;
  }
  void Flush() {
    if (run_ >= 3 && lit_.empty()) EmitRepeat();
    for (int i = 0; i < run_; ++i) {
      lit_.push_back(run_byte_);
      if (lit_.size() == 128) EmitLiterals();
    }
    run_ = 0;
    if (!lit_.empty()) EmitLiterals();
  }

 private:
  void EmitLiterals() {
    out.push_back(uint8_t(-int(lit_.size())));
    out.insert(out.end(), lit_.begin(), lit_.end());
    lit_.clear();
  }
  void EmitRepeat() {
    out.push_back(uint8_t(run_ - 1));
    out.push_back(run_byte_);
    run_ = 0;
  }
  uint8_t run_byte_ = 0;
  int run_ = 0;
  Bytes lit_;
};

Bytes Reference(const Bytes& in) {
  ReferenceEncoder e;
  for (uint8_t b : in) e.Put(b);
  e.Flush();
  return e.out;
}

// Encodes through MRleStream in writes of the given sizes (cycled).
Bytes Encode(const Bytes& in, const std::vector<size_t>& pieces = {SIZE_MAX}) {
  LimitedSink sink;
  MRleStream rle(&sink);
  size_t at = 0, k = 0;
  while (at < in.size()) {
    size_t n = std::min(pieces[k++ % pieces.size()], in.size() - at);
    int32_t done = -7;
    EXPECT_TRUE(rle.Write(in.data() + at, int32_t(n), &done));
    EXPECT_EQ(done, int32_t(n));
    at += n;
  }
  EXPECT_TRUE(rle.Flush());
  return sink.bytes;
}

// Decodes `count` bytes; nullopt-like empty result with ok=false on failure.
bool Decode(const Bytes& coded, size_t count, Bytes* out, size_t piece = SIZE_MAX) {
  std::unique_ptr<MMemoryStream> src(NewSource(coded));
  MRleStream rle(src.get());
  out->assign(count, 0xEE);
  size_t at = 0;
  while (at < count) {
    size_t n = std::min(piece, count - at);
    int32_t done = -7;
    if (!rle.Read(out->data() + at, int32_t(n), &done)) {
      EXPECT_EQ(done, -7) << "a failed read leaves done untouched";
      return false;
    }
    EXPECT_EQ(done, int32_t(n));
    at += n;
  }
  return true;
}

Bytes Repeat(uint8_t b, size_t n) { return Bytes(n, b); }

TEST(RleEncode, FormatVectors) {
  EXPECT_EQ(Encode({0x41, 0x41, 0x41, 0x42}), (Bytes{0x02, 0x41, 0xFF, 0x42}));
  EXPECT_EQ(Encode({0x41, 0x41, 0x42}), (Bytes{0xFD, 0x41, 0x41, 0x42}));
  EXPECT_EQ(Encode(Repeat(0, 300)), (Bytes{0x7F, 0x00, 0x7F, 0x00, 0x2B, 0x00}));
  EXPECT_EQ(Encode(Repeat(0, 129)), (Bytes{0x7F, 0x00, 0xFF, 0x00}));
  EXPECT_EQ(Encode(Repeat(0, 131)), (Bytes{0x7F, 0x00, 0x02, 0x00}));
  EXPECT_EQ(Encode({0x41, 0x42, 0x42, 0x42, 0x43}), (Bytes{0xFF, 0x41, 0x02, 0x42, 0xFF, 0x43}));
}

TEST(RleEncode, TwoHundredDistinctNeighboursMakeTwoLiteralPackets) {
  Bytes in(200);
  for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(i);
  Bytes expected{0x80};
  expected.insert(expected.end(), in.begin(), in.begin() + 128);
  expected.push_back(0xB8);
  expected.insert(expected.end(), in.begin() + 128, in.end());
  EXPECT_EQ(Encode(in), expected);
}

TEST(RleEncode, FlushWithoutDataOnlyFlushesInner) {
  LimitedSink sink;
  MRleStream rle(&sink);
  EXPECT_TRUE(rle.Flush());
  EXPECT_TRUE(sink.bytes.empty());
  EXPECT_EQ(sink.flushes, 1);
}

TEST(RleEncode, ZeroAndNegativeCountsTransferNothing) {
  LimitedSink sink;
  MRleStream rle(&sink);
  int32_t done = 5;
  EXPECT_TRUE(rle.Write("x", 0, &done));
  EXPECT_EQ(done, 0);
  done = 5;
  EXPECT_TRUE(rle.Write("x", -3, &done));
  EXPECT_EQ(done, 0);
  EXPECT_TRUE(rle.Flush());
  EXPECT_TRUE(sink.bytes.empty());
}

TEST(RleEncode, DestroyingWithoutFlushLosesHeldBytes) {
  LimitedSink sink;
  {
    MRleStream rle(&sink);
    int32_t done = 0;
    EXPECT_TRUE(rle.Write("abc", 3, &done));
  }
  EXPECT_TRUE(sink.bytes.empty());
  EXPECT_EQ(sink.flushes, 0);
}

TEST(RleEncode, InnerWriteFailureFailsAndLeavesDoneUntouched) {
  LimitedSink sink(10);
  MRleStream rle(&sink);
  Bytes in(1000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(i * 7);
  int32_t done = -7;
  EXPECT_FALSE(rle.Write(in.data(), int32_t(in.size()), &done));
  EXPECT_EQ(done, -7);
}

// Random inputs of the kinds archives hold, cut into random write sizes:
// the block coder and the reference agree on every byte.
TEST(RleEncode, MatchesReferenceOnRandomInputs) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    Bytes in;
    size_t total = rng() % 3000;
    while (in.size() < total) {
      switch (rng() % 4) {
        case 0: in.insert(in.end(), 1 + rng() % 300, uint8_t(rng() % 3)); break;  // runs
        case 1: for (int i = rng() % 200; i > 0; --i) in.push_back(uint8_t(rng())); break;
        case 2: for (int i = rng() % 50; i > 0; --i) in.push_back(uint8_t(rng() % 2)); break;  // short runs
        default: for (int i = rng() % 100; i > 0; --i) in.push_back(uint8_t('a' + rng() % 26)); break;
      }
    }
    std::vector<size_t> pieces;
    for (int i = 0; i < 5; ++i) pieces.push_back(1 + rng() % (seed % 2 ? 7 : 700));
    Bytes expected = Reference(in);
    ASSERT_EQ(Encode(in, pieces), expected) << "seed " << seed;
    Bytes back;
    ASSERT_TRUE(Decode(expected, in.size(), &back, 1 + rng() % 300)) << "seed " << seed;
    ASSERT_EQ(back, in) << "seed " << seed;
  }
}

TEST(RleDecode, PacketKinds) {
  Bytes coded{0x80};
  for (int i = 0; i < 128; ++i) coded.push_back(uint8_t(i + 1));
  Bytes out;
  ASSERT_TRUE(Decode(coded, 128, &out));
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[127], 128);

  ASSERT_TRUE(Decode({0x7F, 0x55}, 128, &out));
  EXPECT_EQ(out, Repeat(0x55, 128));
  ASSERT_TRUE(Decode({0x00, 0x66}, 1, &out));
  EXPECT_EQ(out, Bytes{0x66});
}

TEST(RleDecode, ReadsAcrossPacketsInSmallPieces) {
  Bytes out;
  ASSERT_TRUE(Decode({0x02, 0x41, 0xFE, 0x42, 0x43, 0x7F, 0x00}, 133, &out, 3));
  Bytes expected{0x41, 0x41, 0x41, 0x42, 0x43};
  expected.insert(expected.end(), 128, 0);
  EXPECT_EQ(out, expected);
}

// A body cut anywhere inside a packet never yields invented bytes: the read
// that would need the missing bytes fails.
TEST(RleDecode, NeverInventsBytes) {
  Bytes in;
  for (int i = 0; i < 600; ++i) in.push_back(uint8_t(i % 5 == 0 ? 0 : (i * 13) & 0xFF));
  in.insert(in.end(), 300, 9);
  Bytes coded = Reference(in);
  for (size_t cut = 0; cut < coded.size(); ++cut) {
    Bytes partial(coded.begin(), coded.begin() + cut);
    Bytes out;
    EXPECT_FALSE(Decode(partial, in.size(), &out)) << "cut at " << cut;
  }
  // Byte-wise, every byte delivered before the failure is a real one.
  Bytes partial(coded.begin(), coded.begin() + coded.size() / 2);
  std::unique_ptr<MMemoryStream> src(NewSource(partial));
  MRleStream rle(src.get());
  size_t got = 0;
  uint8_t b;
  int32_t done;
  while (rle.Read(&b, 1, &done)) {
    ASSERT_EQ(b, in[got]);
    ++got;
  }
  EXPECT_LT(got, in.size());
}

TEST(RleDecode, ZeroCountSucceedsWithoutReading) {
  std::unique_ptr<MMemoryStream> src(NewSource({}));
  MRleStream rle(src.get());
  int32_t done = 5;
  EXPECT_TRUE(rle.Read(nullptr, 0, &done));
  EXPECT_EQ(done, 0);
}

// The block coder's two scans against boundaries written out by hand:
// pairs of equal neighbours at every place in and across the eight-byte
// words the scan compares at once, neighbours that differ in a single low
// or high bit, and runs that end on, before and after a word boundary.
Bytes Hex(const char* text) {
  Bytes out;
  for (const char* p = text; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    out.push_back(uint8_t(std::stoul(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return out;
}

TEST(RleScan, FirstRepeatFindsTheFirstPairOfEqualNeighbours) {
  struct Case {
    const char* bytes;
    int32_t from;
    int32_t count;  // -1: all of them
    int32_t expected;
  } cases[] = {
      {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12", 1, -1, 18},  // none
      {"01 01 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12", 1, -1, 1},
      {"01 02 03 04 05 05 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12", 1, -1, 5},
      {"01 02 03 04 05 06 07 08 08 0A 0B 0C 0D 0E 0F 10 11 12", 1, -1, 8},   // last of the first word
      {"01 02 03 04 05 06 07 08 09 09 0B 0C 0D 0E 0F 10 11 12", 1, -1, 9},   // first of the second
      {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 10 12", 1, -1, 16},
      {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 11", 1, -1, 17},  // in the tail
      {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0C 0E", 1, 12, 12},              // just past count
      {"01 02 03 04 05 06 07 08 09 0A 0B 0B", 1, 12, 11},
      {"20 21 22 22 24 25 26 27 28 29 2A 2B", 1, -1, 3},   // a one-bit difference before the pair
      {"20 20 21 22 23 24 25 26 27 28", 2, -1, 10},        // the pair before `from` is not seen
      {"00 80 00 80 00 80 00 80 00 80 00 80 00 81 81 00", 1, -1, 14},  // high-bit differences
      {"41 42 43 43 45 46 46 48 49", 1, -1, 3},            // the first of two pairs
      {"41 42 43 43 45 46 46 48 49 4A 4B 4C", 4, -1, 6},
      {"AA AA AA AA", 1, -1, 1},
      {"01 02", 1, -1, 2},
      {"07 06 05 04 03 02 01 00 FF FE FD FC FB FA F9 F8 F7 F6 F6 F5 F4", 1, -1, 18},
  };
  for (const Case& c : cases) {
    Bytes data = Hex(c.bytes);
    int32_t count = c.count < 0 ? int32_t(data.size()) : c.count;
    EXPECT_EQ(archive::FirstRepeat(data.data(), c.from, count), c.expected) << c.bytes << " from " << c.from;
  }
}

TEST(RleScan, EqualSpanMeasuresTheLeadingRun) {
  struct Case {
    const char* bytes;
    uint8_t value;
    int32_t count;  // -1: all of them
    int32_t expected;
  } cases[] = {
      {"07 07 07 07 07 07 07 07 07 07 08", 0x07, -1, 10},
      {"07 07 07 07 07 07 07 08", 0x07, -1, 7},
      {"07 07 07 07 07 07 07 07", 0x07, -1, 8},
      {"07 07 07 07 07 07 07 07 08", 0x07, -1, 8},
      {"07 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07", 0x07, -1, 16},
      {"07 07 07 07 07 07 07 07 07 87 07 07 07 07 07 07 07", 0x07, -1, 9},  // a high bit stops it
      {"08 07 07 07", 0x07, -1, 0},
      {"00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", 0x00, 13, 13},
      {"FF FF FF FF FF FF FF FF FE FF FF FF FF FF FF FF FF", 0xFF, -1, 8},
      {"", 0x00, -1, 0},
  };
  for (const Case& c : cases) {
    Bytes data = Hex(c.bytes);
    int32_t count = c.count < 0 ? int32_t(data.size()) : c.count;
    EXPECT_EQ(archive::EqualSpan(data.data(), count, c.value), c.expected) << c.bytes;
  }
}

}  // namespace
