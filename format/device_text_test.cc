// Text as the device handles it: UTF-8 both ways, case folding over the
// whole plane, CE wildcards with the "*.*" rule, and plain entry names.
#include "device_text.h"

#include <gtest/gtest.h>

namespace text {
namespace {

TEST(Text, Utf8BothWays) {
  EXPECT_EQ(ToUtf8(u"\u30cd\u30c3\u30c8"), "\xe3\x83\x8d\xe3\x83\x83\xe3\x83\x88");
  EXPECT_EQ(FromUtf8(ToUtf8(u"\U0001F600a")), u"\U0001F600a");
  EXPECT_EQ(ToUtf8(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b") << "a lone surrogate has no UTF-8 form";
  std::u16string exact;
  ASSERT_TRUE(FromUtf8Exact("A\xC3\xA9\xF0\x9F\x98\x80", &exact));
  EXPECT_EQ(exact, u"A\u00E9\U0001F600");
}

TEST(Text, InvalidUtf8IsRefusedExactlyAndReplacedOtherwise) {
  const char* invalid[] = {"\xC0\xAF",          // overlong "/"
                           "\xED\xA0\x80",      // a surrogate
                           "\xF4\x90\x80\x80",  // beyond U+10FFFF
                           "\xE3\x83",          // cut short
                           "\x80",              // a follower alone
                           "\xFF"};
  for (const char* bytes : invalid) {
    std::u16string out;
    EXPECT_FALSE(FromUtf8Exact(bytes, &out)) << bytes;
    std::u16string lenient = FromUtf8(bytes);
    EXPECT_NE(lenient.find(u'\uFFFD'), std::u16string::npos) << bytes;
  }
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFD" "b");
  EXPECT_TRUE(IsExactText(u"\U0001F600"));
  EXPECT_FALSE(IsExactText(u"\xDC00"));
  EXPECT_FALSE(IsExactText(u"x\xD800"));
}

TEST(Text, CaseFoldsOverTheWholePlane) {
  EXPECT_TRUE(EqualNoCase(u"\uFF21bc", u"\uFF41BC")) << "full-width A and a";
  EXPECT_TRUE(EqualNoCase(u"\u00C9t\u00E9", u"\u00E9T\u00C9"));
  EXPECT_FALSE(EqualNoCase(u"ab", u"abc"));
  EXPECT_EQ(FoldCase(u'a'), u'A');
  EXPECT_EQ(LowerCase(u'\u0130') == u'\u0130' || LowerCase(u'\u0130') == u'i', true);
  EXPECT_EQ(FoldCase(u'\xD800'), u'\xD800') << "surrogates map to themselves";
  EXPECT_EQ(Fold(u"Backup.dat"), u"BACKUP.DAT");
  EXPECT_LT(CompareNoCase(u"apple", u"Banana"), 0);
  EXPECT_GT(CompareNoCase(u"b", u"A"), 0);
  EXPECT_EQ(CompareNoCase(u"Registory.DAT", u"registory.dat"), 0);
  EXPECT_LT(CompareNoCase(u"ab", u"abc"), 0);
}

TEST(Text, WildcardsMatchAsOnTheDevice) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool matches;
  } cases[] = {
      {u"*", u"anything", true},          {u"*.*", u"readme", true},       {u"*.*", u"a.b.c", true},
      {u"*.txt", u"A.TXT", true},         {u"*.txt", u"a.txt.bak", false}, {u"a?c", u"abc", true},
      {u"a?c", u"ac", false},             {u"x.*", u"x", true},            {u"x.*", u"xy", false},
      {u"*.dat", u"Backup.dat", true},    {u"Launch??", u"Launch80", true}, {u"Launch??", u"Launch8", false},
      {u"\\Windows\\*.*", u"\\Windows\\foo", true}, {u"\\My.Docs\\*.*", u"\\My.Docs\\readme", true},
      {u"\\My.Docs\\*.*", u"\\Other\\readme", false}, {u"**a", u"bba", true}, {u"", u"", true},
      {u"", u"a", false},                 {u"\uFF21*", u"\uFF41bc", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesPattern(c.pattern, c.name), c.matches) << ToUtf8(c.pattern) << " ~ " << ToUtf8(c.name);
  EXPECT_TRUE(MatchesFoldedPattern(u"*.*", u"README"));
  EXPECT_FALSE(MatchesFoldedPattern(u"A*", u"abc")) << "the folded form is the caller's to make";
}

TEST(Text, PlainEntryNames) {
  for (const char16_t* ok : {u"a", u"report.txt", u"My Documents", u"\u30c6\u30b9\u30c8", u"...a", u"a.."})
    EXPECT_TRUE(IsPlainEntryName(ok)) << ToUtf8(ok);
  for (const char16_t* bad : {u"", u".", u"..", u"a\\b", u"a/b", u"*", u"a?", u"c:", u"<", u"|", u"\"", u"\t"})
    EXPECT_FALSE(IsPlainEntryName(bad)) << ToUtf8(bad);
  EXPECT_FALSE(IsPlainEntryName(View(nullptr)));
  EXPECT_FALSE(IsPlainEntryName(std::u16string(260, u'n')));
  EXPECT_TRUE(IsPlainEntryName(std::u16string(259, u'n')));
  EXPECT_TRUE(IsNameComponent(u"*.txt", true)) << "a pattern's last component";
  EXPECT_FALSE(IsNameComponent(u"a|*", true));
  EXPECT_FALSE(IsNameComponent(u"..", true));
}

}  // namespace
}  // namespace text
