#include "password.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Block = std::vector<BYTE>;

Block Make(const std::u16string& password) {
  Block block(archive::kPasswordBlockBytes, 0xCC);
  MPwdEncryption(password.c_str(), block.data());
  return block;
}

WORD Word(const Block& b, int i) { return WORD(b[2 * i] | (b[2 * i + 1] << 8)); }

std::u16string Decoded(const Block& b) {
  std::u16string d;
  for (int k = 0; k < archive::kPasswordUnits; ++k) d.push_back(char16_t(Word(b, 2 * k) ^ Word(b, 2 * k + 1) ^ Word(b, 2 * k + 2)));
  return d;
}

bool Matches(const Block& b, const std::u16string& p) { return MPwdAuthentication(b.data(), p.c_str()) != 0; }

TEST(PasswordBlock, EmptyPasswordMatchesOnlyItself) {
  Block b = Make(u"");
  EXPECT_TRUE(Matches(b, u""));
  EXPECT_FALSE(Matches(b, u"a"));
  EXPECT_FALSE(Matches(b, u" "));
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
  for (int i = 0; i < archive::kPasswordBlockWords - 1; ++i) same += Word(a, i) == Word(b, i);
  EXPECT_LT(same, 10);
  EXPECT_TRUE(Matches(a, u"secret"));
  EXPECT_TRUE(Matches(b, u"secret"));
}

TEST(PasswordBlock, MixedWordsFollowTheNoise) {
  Block b = Make(u"xy");
  std::u16string padded = Decoded(b);
  for (int k = 0; k < archive::kPasswordUnits; ++k)
    EXPECT_EQ(Word(b, 2 * k + 1), WORD(Word(b, 2 * k) ^ Word(b, 2 * k + 2) ^ padded[k]));
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

TEST(PasswordBlock, NullArgumentsAreRefusedWithoutAMatch) {
  Block b = Make(u"x");
  EXPECT_FALSE(MPwdAuthentication(b.data(), nullptr));
  EXPECT_FALSE(MPwdAuthentication(nullptr, u"x"));
  Block untouched(archive::kPasswordBlockBytes, 0xAB);
  MPwdEncryption(nullptr, untouched.data());
  EXPECT_EQ(untouched, Block(archive::kPasswordBlockBytes, 0xAB));
}

}  // namespace
