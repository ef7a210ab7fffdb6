#include "clock_text.h"

#include <cstdio>
#include <vector>

#include "wstr.h"

namespace ctlpnl {
namespace {

constexpr int kFirstYear = 1980;
constexpr int kLastYear = 2099;

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

// Splits "12:05:30" into numbers at any of `separators`; nothing when a part
// is empty, holds anything but digits or is longer than `max_digits`.
std::optional<std::vector<int>> Numbers(std::u16string_view text, std::u16string_view separators, size_t max_digits) {
  std::vector<int> numbers;
  size_t digits = 0;
  int value = 0;
  auto take = [&] {
    if (digits == 0) return false;
    numbers.push_back(value);
    digits = 0;
    value = 0;
    return true;
  };
  for (char16_t c : text) {
    if (separators.find(c) != std::u16string_view::npos) {
      if (!take()) return std::nullopt;
    } else if (c >= u'0' && c <= u'9') {
      if (++digits > max_digits) return std::nullopt;
      value = value * 10 + (c - u'0');
    } else {
      return std::nullopt;
    }
  }
  if (!take()) return std::nullopt;
  return numbers;
}

std::u16string Format(const char* pattern, int a, int b, int c) {
  char text[32];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return cedev::FromUtf8(text);
}

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::u16string DateText(const SYSTEMTIME& t) { return Format("%04d/%02d/%02d", t.wYear, t.wMonth, t.wDay); }

std::u16string TimeText(const SYSTEMTIME& t) { return Format("%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond); }

std::optional<SYSTEMTIME> ParseDateTime(std::u16string_view date_text, std::u16string_view time_text) {
  auto date = Numbers(Trimmed(date_text), u"/-.", 4);
  auto time = Numbers(Trimmed(time_text), u":", 2);
  if (!date || date->size() != 3 || !time || time->size() < 2 || time->size() > 3) return std::nullopt;
  int year = (*date)[0], month = (*date)[1], day = (*date)[2];
  int hour = (*time)[0], minute = (*time)[1], second = time->size() == 3 ? (*time)[2] : 0;
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 || day > DaysIn(year, month)) {
    return std::nullopt;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  return t;
}

}  // namespace ctlpnl
