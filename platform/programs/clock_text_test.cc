// Reading the clock applet's fields: what a person may type, and what names
// no real time.
#include "clock_text.h"

#include <gtest/gtest.h>

#include "wstr.h"

namespace ctlpnl {
namespace {

struct Typed {
  const char16_t* date;
  const char16_t* time;
};

TEST(ClockText, TakesRealDatesAndTimesInTheAcceptedForms) {
  auto t = ParseDateTime(u"2030/01/02", u"03:04:05");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->wYear, 2030);
  EXPECT_EQ(t->wMonth, 1);
  EXPECT_EQ(t->wDay, 2);
  EXPECT_EQ(t->wHour, 3);
  EXPECT_EQ(t->wMinute, 4);
  EXPECT_EQ(t->wSecond, 5);
  EXPECT_EQ(DateText(*t), u"2030/01/02");
  EXPECT_EQ(TimeText(*t), u"03:04:05");
  for (Typed ok : {Typed{u"2024/2/29", u"0:00"}, Typed{u"2000-02-29", u"23:59:59"}, Typed{u" 1980.1.1 ", u"12:30 "},
                   Typed{u"2099/12/31", u"23:59"}}) {
    EXPECT_TRUE(ParseDateTime(ok.date, ok.time)) << cedev::ToUtf8(ok.date);
  }
  EXPECT_EQ(ParseDateTime(u"2024/2/29", u"7:08")->wSecond, 0);
}

TEST(ClockText, RefusesWhatNamesNoRealTime) {
  for (Typed bad : {Typed{u"2023/02/29", u"00:00"},   // not a leap year
                    Typed{u"2100/02/29", u"00:00"},   // nor is 2100, and it is past the clock's range
                    Typed{u"1979/12/31", u"00:00"},   // before the clock's range
                    Typed{u"2030/13/01", u"00:00"}, Typed{u"2030/04/31", u"00:00"}, Typed{u"2030/00/10", u"00:00"},
                    Typed{u"2030/01/02", u"24:00"}, Typed{u"2030/01/02", u"12:60"}, Typed{u"2030/01/02", u"12:00:60"},
                    Typed{u"2030/01", u"12:00"}, Typed{u"2030/01/02/03", u"12:00"}, Typed{u"2030//02", u"12:00"},
                    Typed{u"2030/01/02", u"12"}, Typed{u"2030/01/02", u"1:2:3:4"}, Typed{u"20300/01/02", u"12:00"},
                    Typed{u"2030/01/02", u"123:00"}, Typed{u"2030/01/0x", u"12:00"}, Typed{u"", u""},
                    Typed{u"2030/01/02", u"-1:00"}, Typed{u"２０３０/01/02", u"12:00"}}) {
    EXPECT_FALSE(ParseDateTime(bad.date, bad.time))
        << cedev::ToUtf8(bad.date) << " " << cedev::ToUtf8(bad.time);
  }
}

}  // namespace
}  // namespace ctlpnl
