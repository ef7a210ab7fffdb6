#include "path_list.h"

#include "wide_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

BOOL Collect(void* context, LPCWSTR text) {
  auto* seen = static_cast<std::vector<std::u16string>*>(context);
  seen->push_back(text);
  return seen->size() < 3;
}

TEST(PathList, EmptyListsAreTheSameSetAndContainedEverywhere) {
  MPathList a, b, c;
  c.Append(u"x");
  EXPECT_TRUE(MPathList::IsSameSet(a, b));
  EXPECT_TRUE(a.ContainsAll(c));
  EXPECT_FALSE(c.ContainsAll(a));
  EXPECT_FALSE(a.Contains(u"x"));
  EXPECT_FALSE(a.Contains(u""));
}

TEST(PathList, MembershipIgnoresCase) {
  MPathList l;
  l.Append(u"Storage Card");
  l.Append(u"FlashDisk");
  EXPECT_TRUE(l.Contains(u"STORAGE CARD"));
  EXPECT_TRUE(l.Contains(u"flashdisk"));
  EXPECT_FALSE(l.Contains(u"Storage"));
  EXPECT_FALSE(l.Contains(u"Storage Card "));
  l.Append(u"\uFF21\u00E9\u0434");  // full-width A, é, Cyrillic de
  EXPECT_TRUE(l.Contains(u"\uFF41\u00C9\u0414"));
}

TEST(PathList, RepetitionAndOrderDoNotChangeTheSet) {
  MPathList twice, once;
  twice.Append(u"A");
  twice.Append(u"A");
  once.Append(u"a");
  EXPECT_TRUE(MPathList::IsSameSet(twice, once));
  once.Append(u"b");
  EXPECT_FALSE(MPathList::IsSameSet(twice, once));
  EXPECT_TRUE(twice.ContainsAll(once));
}

TEST(PathList, ForEachKeepsOrderAndStopsAtZero) {
  MPathList l;
  for (const char16_t* t : {u"one", u"two", u"three", u"four"}) l.Append(t);
  std::vector<std::u16string> seen;
  EXPECT_FALSE(l.ForEach(Collect, &seen));
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"one", u"two", u"three"}));
  MPathList empty;
  EXPECT_TRUE(empty.ForEach(Collect, &seen));
}

TEST(PathList, ItemWithoutTextNeverMatches) {
  MPathListItem item(u"x");
  FreeString(item.text);
  item.text = nullptr;
  EXPECT_FALSE(item.Matches(u"x"));
  EXPECT_FALSE(item.Matches(u""));
  MPathListItem real(u"Name");
  EXPECT_TRUE(real.Matches(u"NAME"));
  EXPECT_FALSE(real.Matches(nullptr));
}

// Large lists answer from the index; the answers must equal a plain walk.
TEST(PathList, IndexedListAnswersLikeAWalk) {
  MPathList l;
  for (int i = 0; i < 5000; ++i) l.Append((u"Value" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(1, char16_t(0x3040 + i / 26))).c_str());
  EXPECT_EQ(l.Count(), 5000u);
  for (int i = 0; i < 5000; i += 7) {
    std::u16string lower = u"value" + std::u16string(1, char16_t(u'a' + i % 26)) + std::u16string(1, char16_t(0x3040 + i / 26));
    EXPECT_TRUE(l.Contains(lower.c_str())) << i;
  }
  EXPECT_FALSE(l.Contains(u"ValueA"));
  EXPECT_FALSE(l.Contains(u"Value"));
  // Insertion order is kept.
  EXPECT_EQ(std::u16string(l.Head()->text), u"ValueA\u3040");
}

}  // namespace
