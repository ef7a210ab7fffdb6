// Programs include <windows.h> together with the host's C++ library; the
// WCHAR string helpers must not disturb the host's wchar_t functions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <sstream>
#include <string>

namespace {

TEST(Headers, DeviceAndHostWideStringFunctionsLiveSideBySide) {
  EXPECT_EQ(std::stol(std::wstring(L"-42")), -42);
  EXPECT_EQ(std::stoul(std::wstring(L"ff"), nullptr, 16), 255u);
  EXPECT_EQ(wcslen(L"host"), 4u);
  EXPECT_EQ(wcslen(TEXT("device")), 6u);
  EXPECT_EQ(wcstoul(TEXT("12"), nullptr, 10), 12u);
  EXPECT_EQ(std::wcstoul(L"13", nullptr, 10), 13u);
  std::wostringstream host;
  host << L"x" << 1;
  EXPECT_EQ(host.str(), L"x1");
}

}  // namespace
