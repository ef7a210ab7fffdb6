// The jobs' password operations: blocks made with the device's generator in
// the state the process left it, and arguments that are not there. The
// block's own layout and matching rules are pinned in format/.
#include "password.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "ce/stdlib.h"

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

TEST(PasswordOperations, NoiseIsTheDevicesGeneratorInItsCurrentState) {
  srand(7);
  Block b = Make(u"pw");
  srand(7);
  std::vector<int> draws;
  for (int i = 0; i < 256 + 257; ++i) draws.push_back(rand());
  for (int k = 0; k <= archive::kPasswordUnits; ++k) ASSERT_EQ(Word(b, 2 * k), WORD(draws[256 + k])) << k;
  EXPECT_TRUE(MPwdAuthentication(b.data(), u"pw"));
  EXPECT_FALSE(MPwdAuthentication(b.data(), u"pW"));
}

TEST(PasswordOperations, FreshNoiseEachTimeAndBothMatch) {
  Block a = Make(u"secret"), b = Make(u"secret");
  int same = 0;
  for (int i = 0; i < archive::kPasswordBlockWords - 1; ++i) same += Word(a, i) == Word(b, i);
  EXPECT_LT(same, 10);
  EXPECT_TRUE(MPwdAuthentication(a.data(), u"secret"));
  EXPECT_TRUE(MPwdAuthentication(b.data(), u"secret"));
  EXPECT_EQ(a[1026], 0);
  EXPECT_EQ(a[1027], 0);
}

TEST(PasswordOperations, NullArgumentsAreRefusedWithoutAMatch) {
  Block b = Make(u"x");
  EXPECT_FALSE(MPwdAuthentication(b.data(), nullptr));
  EXPECT_FALSE(MPwdAuthentication(nullptr, u"x"));
  Block untouched(archive::kPasswordBlockBytes, 0xAB);
  MPwdEncryption(nullptr, untouched.data());
  EXPECT_EQ(untouched, Block(archive::kPasswordBlockBytes, 0xAB));
}

}  // namespace
