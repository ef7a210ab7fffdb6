// String helpers on WCHAR: the C-library forms, wsprintfW and CompareStringW.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "ce/strings.h"
#include "api_expect.h"

namespace {

std::u16string Format(LPCWSTR format, ...) {
  WCHAR buffer[512];
  for (auto& c : buffer) c = u'#';
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(buffer, format, args);
  va_end(args);
  std::u16string out(buffer);
  EXPECT_EQ(static_cast<size_t>(n), out.size());
  return out;
}

TEST(WideStrings, CopyConcatenateAndMeasure) {
  WCHAR buf[16];
  EXPECT_EQ(wcscpy(buf, u"Flash"), buf);
  EXPECT_EQ(wcscat(buf, u"Disk"), buf);
  EXPECT_EQ(std::u16string(buf), u"FlashDisk");
  EXPECT_EQ(wcslen(buf), 9u);
  EXPECT_EQ(wcslen(u""), 0u);
  EXPECT_EQ(wcsncat(buf, u"XYZ", 2), buf);
  EXPECT_EQ(std::u16string(buf), u"FlashDiskXY");
}

TEST(WideStrings, WcsncpyPadsButDoesNotTerminateALongSource) {
  WCHAR buf[8];
  for (auto& c : buf) c = u'#';
  wcsncpy(buf, u"ab", 5);
  EXPECT_EQ(std::u16string(buf, 6), std::u16string(u"ab\0\0\0#", 6));
  for (auto& c : buf) c = u'#';
  wcsncpy(buf, u"abcdef", 3);
  EXPECT_EQ(std::u16string(buf, 4), u"abc#");
}

TEST(WideStrings, ComparisonsReturnTheSignOfTheFirstDifference) {
  EXPECT_EQ(wcscmp(u"abc", u"abc"), 0);
  EXPECT_LT(wcscmp(u"abc", u"abd"), 0);
  EXPECT_GT(wcscmp(u"abcd", u"abc"), 0);
  EXPECT_LT(wcscmp(u"Z", u"a"), 0);
  EXPECT_GT(wcscmp(u"\xFF41", u"a"), 0);  // units compare unsigned
  EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);
  EXPECT_LT(wcsncmp(u"abcX", u"abcY", 4), 0);
  EXPECT_EQ(wcsncmp(u"a", u"b", 0), 0);
}

TEST(WideStrings, CaseInsensitiveComparisonFoldsTheWholeBasicPlane) {
  EXPECT_EQ(_wcsicmp(u"Restore.EXE", u"restore.exe"), 0);
  EXPECT_EQ(_wcsicmp(u"\xFF21\xFF22", u"\xFF41\xFF42"), 0);  // full-width AB / ab
  EXPECT_EQ(_wcsicmp(u"\x00C4RGER", u"\x00E4rger"), 0);
  EXPECT_EQ(_wcsicmp(u"\x0416", u"\x0436"), 0);  // Cyrillic Zhe
  EXPECT_LT(_wcsicmp(u"apple", u"BANANA"), 0);
  EXPECT_GT(_wcsicmp(u"apples", u"APPLE"), 0);
  EXPECT_EQ(_wcsnicmp(u"STARTUPx", u"startupY", 7), 0);
  EXPECT_NE(_wcsnicmp(u"STARTUPx", u"startupY", 8), 0);
}

TEST(WideStrings, SearchFunctionsFindFirstAndLastOccurrences) {
  const WCHAR* path = u"\\FlashDisk\\CE\\ARM\\Restore.exe";
  EXPECT_EQ(wcschr(path, u'\\'), path);
  EXPECT_EQ(wcsrchr(path, u'\\'), path + 17);
  EXPECT_EQ(wcschr(path, u'?'), nullptr);
  EXPECT_EQ(wcschr(path, u'\0'), path + wcslen(path));  // the terminator is part of the string
  EXPECT_EQ(wcsstr(path, u"ARM"), path + 14);
  EXPECT_EQ(wcsstr(path, u"arm"), nullptr);
  EXPECT_EQ(wcsstr(path, u""), path);
  WCHAR editable[] = u"a.b.c";
  WCHAR* dot = wcsrchr(editable, u'.');
  ASSERT_NE(dot, nullptr);
  *dot = 0;
  EXPECT_EQ(std::u16string(editable), u"a.b");
}

TEST(WideStrings, TwoArgumentWcstokKeepsItsPlacePerThread) {
  WCHAR list[] = u",,one, two,,three,";
  std::u16string seen;
  for (WCHAR* t = wcstok(list, u", "); t; t = wcstok(nullptr, u", ")) seen += std::u16string(t) + u"|";
  EXPECT_EQ(seen, u"one|two|three|");
  EXPECT_EQ(wcstok(nullptr, u","), nullptr);  // stays at the end
  WCHAR blanks[] = u"   ";
  EXPECT_EQ(wcstok(blanks, u" "), nullptr);
}

TEST(WideStrings, ThreeArgumentWcstokUsesTheCallersContext) {
  WCHAR a[] = u"x;y", b[] = u"1;2";
  WCHAR *ca = nullptr, *cb = nullptr;
  EXPECT_EQ(std::u16string(wcstok(a, u";", &ca)), u"x");
  EXPECT_EQ(std::u16string(wcstok(b, u";", &cb)), u"1");
  EXPECT_EQ(std::u16string(wcstok(nullptr, u";", &ca)), u"y");
  EXPECT_EQ(std::u16string(wcstok(nullptr, u";", &cb)), u"2");
  EXPECT_EQ(wcstok(nullptr, u";", &ca), nullptr);
}

TEST(WideStrings, NumberParsing) {
  EXPECT_EQ(_wtoi(u"  42abc"), 42);
  EXPECT_EQ(_wtoi(u"-17"), -17);
  EXPECT_EQ(_wtoi(u"+8"), 8);
  EXPECT_EQ(_wtoi(u"abc"), 0);
  EXPECT_EQ(_wtoi(nullptr), 0);
  EXPECT_EQ(_wtol(u"2147483647"), 2147483647L);
  WCHAR* end = reinterpret_cast<WCHAR*>(1);
  const WCHAR* hex = u"0x1F zz";
  EXPECT_EQ(wcstoul(hex, &end, 16), 0x1Fu);
  EXPECT_EQ(end, hex + 4);
  EXPECT_EQ(wcstoul(hex, &end, 0), 0x1Fu);
  EXPECT_EQ(wcstoul(u"0777", nullptr, 0), 0777u);
  EXPECT_EQ(wcstoul(u"ffffffff", nullptr, 16), 0xFFFFFFFFu);
  EXPECT_EQ(wcstoul(u"100000000", nullptr, 16), 0xFFFFFFFFu);  // saturates
  const WCHAR* none = u"zz";
  EXPECT_EQ(wcstoul(none, &end, 10), 0u);
  EXPECT_EQ(end, none);  // nothing parsed: end is the start
  EXPECT_EQ(wcstol(u"-2147483649", nullptr, 10), INT32_MIN);
}

TEST(WideStrings, CaseMappingOfSingleUnits) {
  EXPECT_EQ(towupper(u'a'), u'A');
  EXPECT_EQ(towlower(u'A'), u'a');
  EXPECT_EQ(towupper(u'\xFF41'), u'\xFF21');
  EXPECT_EQ(towlower(u'\x00C4'), u'\x00E4');
  EXPECT_EQ(towupper(u'1'), u'1');
  EXPECT_EQ(towupper(u'\xD800'), u'\xD800');
  WCHAR s[] = u"MiXeD";
  EXPECT_EQ(std::u16string(_wcsupr(s)), u"MIXED");
  EXPECT_EQ(std::u16string(_wcslwr(s)), u"mixed");
}

TEST(WideStrings, CoexistWithTheHostWideCharacterFunctions) {
  // Both overload sets are visible here: the host's wchar_t forms still work.
  EXPECT_EQ(std::wcslen(L"host"), 4u);
  EXPECT_EQ(wcslen(u"device"), 6u);
}

TEST(Wsprintf, IntegerConversions) {
  EXPECT_EQ(Format(u"%d|%i|%u", -5, 7, 4000000000u), u"-5|7|4000000000");
  EXPECT_EQ(Format(u"%x|%X|%#x|%#X|%#x", 0xBEEFu, 0xBEEFu, 255u, 255u, 0u), u"beef|BEEF|0xff|0XFF|0");
  EXPECT_EQ(Format(u"%ld|%lu|%lx", -1, 0xFFFFFFFFu, 0xABCu), u"-1|4294967295|abc");
  EXPECT_EQ(Format(u"%I64d|%I64u|%I64X", int64_t{-9000000000}, uint64_t{18000000000}, uint64_t{0x123456789A}),
            u"-9000000000|18000000000|123456789A");
  EXPECT_EQ(Format(u"%hd|%hu", 70000, 70000), u"4464|4464");
  EXPECT_EQ(Format(u"%d", INT32_MIN), u"-2147483648");
}

TEST(Wsprintf, FlagsWidthAndPrecision) {
  EXPECT_EQ(Format(u"[%5d][%-5d][%05d][%+d][% d]", 42, 42, -42, 42, 42), u"[   42][42   ][-0042][+42][ 42]");
  EXPECT_EQ(Format(u"[%.3d][%8.3d][%08.3d]", 7, 7, 7), u"[007][     007][     007]");
  EXPECT_EQ(Format(u"[%02d:%02d:%02d]", 9, 5, 0), u"[09:05:00]");
  EXPECT_EQ(Format(u"[%*d][%-*d][%.*s]", 4, 1, 3, 2, 2, u"abcdef"), u"[   1][2  ][ab]");
  EXPECT_EQ(Format(u"[%08X]", 0x1Fu), u"[0000001F]");
  EXPECT_EQ(Format(u"[%.0d]", 0), u"[]");
}

TEST(Wsprintf, StringsCharactersAndPercent) {
  EXPECT_EQ(Format(u"%s and %s", u"Backup", u"\x30cd\x30c3\x30c8"), u"Backup and \x30cd\x30c3\x30c8");
  EXPECT_EQ(Format(u"[%8s][%-8s][%.3s]", u"abc", u"abc", u"abcdef"), u"[     abc][abc     ][abc]");
  EXPECT_EQ(Format(u"%hs|%S", "narrow", "also"), u"narrow|also");
  EXPECT_EQ(Format(u"%c%c%c", u'O', u'K', 0x3042), u"OK\x3042");
  EXPECT_EQ(Format(u"100%%"), u"100%");
  EXPECT_EQ(Format(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)");
  EXPECT_EQ(Format(u"trailing %"), u"trailing ");
}

TEST(Wsprintf, ReturnsLengthAndTerminates) {
  WCHAR buf[32];
  for (auto& c : buf) c = u'#';
  EXPECT_EQ(wsprintfW(buf, u"%s\\%s", u"\\FlashDisk", u"Backup.dat"), 21);
  EXPECT_EQ(buf[21], u'\0');
  EXPECT_EQ(buf[22], u'#');  // nothing written past the terminator
  EXPECT_EQ(std::u16string(buf), u"\\FlashDisk\\Backup.dat");
  EXPECT_EQ(wsprintfW(buf, u""), 0);
  EXPECT_EQ(buf[0], u'\0');
}

TEST(StringCompare, OrdersAndFoldsOnRequest) {
  SetLastError(0xDEAD);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, 0, u"abc", -1, u"abc", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, 0, u"abc", -1, u"ABC", -1), CSTR_GREATER_THAN);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, u"abc", -1, u"ABC", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, u"\xFF41", -1, u"\xFF21", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, u"ab", -1, u"ABC", -1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, 0, u"abcX", 3, u"abcY", 3), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, 0, u"b", 1, u"a", 1), CSTR_GREATER_THAN);
  EXPECT_EQ(GetLastError(), 0xDEADu);  // success leaves the last error alone
}

TEST(StringCompare, RejectsBadArguments) {
  EXPECT_FAILS_WITH(CompareStringW(LOCALE_USER_DEFAULT, 0, nullptr, -1, u"a", -1), 0, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CompareStringW(LOCALE_USER_DEFAULT, 0, u"a", -2, u"a", -1), 0, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CompareStringW(LOCALE_USER_DEFAULT, 0x80000000u, u"a", -1, u"a", -1), 0, ERROR_INVALID_FLAGS);
}

}  // namespace
