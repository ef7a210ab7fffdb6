// The flat name store behind folder listings: its order against a plain
// comparison of folded names, and finding entries by exact host name.
#include "folder_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "wstr.h"

namespace cedev {
namespace {

FolderNames NamesOf(const std::vector<std::string>& host_names) {
  FolderNames names;
  for (const auto& n : host_names) names.Add(n, Fold(FromUtf8(n)));
  return names;
}

std::vector<uint32_t> All(const FolderNames& names) {
  std::vector<uint32_t> all(names.size());
  for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;
  return all;
}

std::vector<std::string> Listed(const FolderNames& names, const std::vector<uint32_t>& indices) {
  std::vector<std::string> out;
  for (uint32_t p : names.Order(indices)) out.emplace_back(names.Name(indices[p]));
  return out;
}

// What the order must be: folded units, then host bytes.
std::vector<std::string> Expected(std::vector<std::string> host_names) {
  std::sort(host_names.begin(), host_names.end(), [](const std::string& a, const std::string& b) {
    std::u16string fa = Fold(FromUtf8(a)), fb = Fold(FromUtf8(b));
    return fa != fb ? fa < fb : a < b;
  });
  return host_names;
}

TEST(SortKey, IsEachUnitHighByteFirst) {
  std::string key = "x";
  AppendSortKey(u"\uFF21A\u00e9", &key);
  EXPECT_EQ(key, std::string("x\xFF\x21\x00\x41\x00\xe9", 7));
}

TEST(FolderNamesOrder, MatchesFoldedComparisonWhateverTheNamesShare) {
  // Long shared starts, names ending inside the shared part or just after
  // it, case twins, and units above the surrogates.
  std::vector<std::string> host_names = {
      "IMG_000123.jpg", "img_000123.JPG", "IMG_00012",      "IMG_0001230",    "IMG_000122.jpg",
      "IMG_000124",     "IMG_",           "IMG_\xc3\xa9",   "IMG_\xef\xbd\x82", "IMG_\xf0\x9f\x98\x80",
      "Img_000123.jpg", "IMG_000123.jpgx"};
  FolderNames names = NamesOf(host_names);
  EXPECT_EQ(Listed(names, All(names)), Expected(host_names));
}

TEST(FolderNamesOrder, RandomFoldersAgreeWithThePlainComparison) {
  std::mt19937 random(7);
  const char alphabet[] = "aAbB_.0z";
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> host_names;
    std::string shared(random() % 12, 'p');
    for (int i = 0; i < 300; ++i) {
      std::string n = shared;
      for (size_t len = random() % 6; len > 0; --len) n.push_back(alphabet[random() % 8]);
      if (!n.empty() && std::find(host_names.begin(), host_names.end(), n) == host_names.end()) host_names.push_back(n);
    }
    FolderNames names = NamesOf(host_names);
    ASSERT_EQ(Listed(names, All(names)), Expected(host_names)) << "round " << round;
  }
}

TEST(FolderNamesOrder, GivesPositionsWithinTheIndicesAsked) {
  FolderNames names = NamesOf({"c", "B", "a", "D"});
  std::vector<uint32_t> some = {3, 0, 1};  // "D", "c", "B"
  EXPECT_EQ(names.Order(some), (std::vector<uint32_t>{2, 1, 0}));
  EXPECT_TRUE(names.Order({}).empty());
}

TEST(FolderNames, DroppingTheLastNameLeavesTheOthersIntact) {
  FolderNames names = NamesOf({"first", "second"});
  names.DropLast();
  uint32_t third = names.Add("Third", u"THIRD");
  EXPECT_EQ(third, 1u);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names.Name(0), "first");
  EXPECT_STREQ(names.CName(0), "first");
  EXPECT_EQ(names.Name(1), "Third");
  EXPECT_STREQ(names.CName(1), "Third");
  std::string key;
  AppendSortKey(u"THIRD", &key);
  EXPECT_EQ(names.Key(1), key);
}

TEST(NameIndex, FindsExactHostNamesOnly) {
  std::vector<std::string> host_names = {"a", "ab", "A", "b\xc3\xa9", ""};
  for (int i = 0; i < 1000; ++i) host_names.push_back("n" + std::to_string(i));
  FolderNames names = NamesOf(host_names);
  NameIndex index(names);
  for (uint32_t i = 0; i < host_names.size(); ++i) ASSERT_EQ(index.Find(host_names[i]), i) << host_names[i];
  EXPECT_EQ(index.Find("AB"), NameIndex::kNone);
  EXPECT_EQ(index.Find("n1000"), NameIndex::kNone);
  EXPECT_EQ(index.Find("b\xc3\x89"), NameIndex::kNone);
  EXPECT_EQ(index.Find(std::string_view("a\0", 2)), NameIndex::kNone);
}

TEST(NameIndex, AnEmptyListingFindsNothing) {
  FolderNames names;
  NameIndex index(names);
  EXPECT_EQ(index.Find("anything"), NameIndex::kNone);
  EXPECT_EQ(index.Find(""), NameIndex::kNone);
}

}  // namespace
}  // namespace cedev
