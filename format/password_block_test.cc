// The password block: its layout word by word, what matches it, and the
// noise it draws.
#include "password_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "little_endian.h"

namespace archive {
namespace {

using Block = std::vector<uint8_t>;

// Counts up from `start`: every word it hands out differs from the last 65535.
class CountingWords : public RandomWords {
 public:
  explicit CountingWords(uint16_t start) : next_(start) {}
  uint16_t Next() override { return next_++; }

 private:
  uint16_t next_;
};

// A generator with state shared by all blocks of a test, as the device's is.
CountingWords g_words(0x1234);

Block Make(const std::u16string& password, RandomWords& words = g_words) {
  Block block(kPasswordBlockBytes, 0xCC);
  MakePasswordBlock(password.c_str(), block.data(), words);
  return block;
}

uint16_t Word(const Block& b, int i) { return GetLe16(b.data() + 2 * i); }

std::u16string Decoded(const Block& b) {
  char16_t padded[kPasswordUnits];
  RecoverPassword(b.data(), padded);
  return std::u16string(padded, kPasswordUnits);
}

bool Matches(const Block& b, const std::u16string& p) { return PasswordMatches(b.data(), p.c_str()); }

TEST(PasswordBlock, EmptyPasswordMatchesOnlyItself) {
  Block b = Make(u"");
  EXPECT_TRUE(Matches(b, u""));
  EXPECT_FALSE(Matches(b, u"a"));
  EXPECT_FALSE(Matches(b, u" "));
  EXPECT_FALSE(HasPassword(b.data()));
  EXPECT_TRUE(HasPassword(Make(u"a").data()));
}

TEST(PasswordBlock, CaseAndLengthMatter) {
  Block b = Make(u"abc");
  EXPECT_TRUE(Matches(b, u"abc"));
  EXPECT_FALSE(Matches(b, u"ABC"));
  EXPECT_FALSE(Matches(b, u"ab"));
  EXPECT_FALSE(Matches(b, u"abcd"));
}

TEST(PasswordBlock, DecodingYieldsPasswordThenZero) {
  for (std::u16string p : {std::u16string(u""), std::u16string(u"abc"), std::u16string(u"\u30D1\u30B9\uFF57\uFF44")}) {
    std::u16string d = Decoded(Make(p));
    EXPECT_EQ(d.substr(0, p.size()), p);
    EXPECT_EQ(d[p.size()], u'\0');
  }
}

TEST(PasswordBlock, LastWordIsZero) {
  for (int i = 0; i < 20; ++i) {
    Block b = Make(u"pw");
    EXPECT_EQ(b[1026], 0);
    EXPECT_EQ(b[1027], 0);
  }
}

TEST(PasswordBlock, FreshNoiseEachTimeAndBothMatch) {
  Block a = Make(u"secret"), b = Make(u"secret");
  int same = 0;
  for (int i = 0; i < kPasswordBlockWords - 1; ++i) same += Word(a, i) == Word(b, i);
  EXPECT_LT(same, 10);
  EXPECT_TRUE(Matches(a, u"secret"));
  EXPECT_TRUE(Matches(b, u"secret"));
}

// Every even word is noise drawn for this block, the last one (word 512)
// included: two blocks differ in each of them, and the unused word stays 0.
TEST(PasswordBlock, EveryEvenWordIsDrawnTheLastIncluded) {
  Block a = Make(u"same"), b = Make(u"same");
  for (int k = 0; k <= kPasswordUnits; ++k) EXPECT_NE(Word(a, 2 * k), Word(b, 2 * k)) << "word " << 2 * k;
  for (const Block* block : {&a, &b}) {
    EXPECT_EQ((*block)[1026], 0);
    EXPECT_EQ((*block)[1027], 0);
  }
}

// The padding is drawn first, then the noise words in order: the block of a
// known sequence is fixed to the word.
TEST(PasswordBlock, DrawsPaddingFirstThenNoiseInOrder) {
  CountingWords words(1);
  Block b = Make(u"ab", words);
  // Padding took words 1..256 (P2..P255 keep 3..256), noise 257..513.
  for (int k = 0; k <= kPasswordUnits; ++k) ASSERT_EQ(Word(b, 2 * k), 257 + k) << k;
  EXPECT_EQ(Word(b, 1), uint16_t(257 ^ 258 ^ u'a'));
  EXPECT_EQ(Word(b, 3), uint16_t(258 ^ 259 ^ u'b'));
  EXPECT_EQ(Word(b, 5), uint16_t(259 ^ 260 ^ 0));
  EXPECT_EQ(Word(b, 7), uint16_t(260 ^ 261 ^ 4));
  EXPECT_EQ(Word(b, 511), uint16_t(512 ^ 513 ^ 256));
}

TEST(PasswordBlock, MixedWordsFollowTheNoise) {
  Block b = Make(u"xy");
  std::u16string padded = Decoded(b);
  for (int k = 0; k < kPasswordUnits; ++k)
    EXPECT_EQ(Word(b, 2 * k + 1), uint16_t(Word(b, 2 * k) ^ Word(b, 2 * k + 2) ^ padded[k]));
}

TEST(PasswordBlock, Password255UnitsIsStoredWhole) {
  std::u16string p;
  for (int i = 0; i < 255; ++i) p.push_back(char16_t(0x3041 + i % 80));
  Block b = Make(p);
  EXPECT_TRUE(Matches(b, p));
  std::u16string shorter = p.substr(0, 254);
  EXPECT_FALSE(Matches(b, shorter));
  std::u16string changedLast = p;
  changedLast[254] = u'!';
  EXPECT_FALSE(Matches(b, changedLast));
  EXPECT_EQ(Decoded(b).substr(0, 255), p);
  EXPECT_EQ(Decoded(b)[255], u'\0');
}

// Longer passwords (the command line carries up to 259 units) are cut to
// their first 255 units on both sides: the same password restores what it
// protected, and nothing is written past the working buffer.
TEST(PasswordBlock, LongerPasswordsAreCutTo255Units) {
  std::u16string p(259, u'k');
  p[100] = u'Z';
  Block b = Make(p);
  EXPECT_EQ(Decoded(b).substr(0, 255), p.substr(0, 255));
  EXPECT_EQ(Decoded(b)[255], u'\0');
  EXPECT_TRUE(Matches(b, p));
  EXPECT_TRUE(Matches(b, p.substr(0, 255)));
  EXPECT_FALSE(Matches(b, p.substr(0, 254)));
  EXPECT_TRUE(Matches(b, p + u"more")) << "only 255 units take part";
}

}  // namespace
}  // namespace archive
