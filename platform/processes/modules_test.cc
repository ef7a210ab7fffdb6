// Modules: the core library, unknown modules, the program's own module.
#include <gtest/gtest.h>

#include "ce/device.h"
#include "ce/process.h"
#include "ce/user.h"
#include "api_expect.h"
#include "scratch_device.h"

namespace {

class Modules : public ::testing::Test {
 protected:
  cedev::ScratchDevice device_;
};

TEST_F(Modules, CoreLibraryExportsAreFoundByName) {
  HMODULE core = LoadLibraryW(u"CoreDll.dll");
  ASSERT_NE(core, nullptr);
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\COREDLL.DLL"), core);
  EXPECT_EQ(GetModuleHandleW(u"coredll"), core);
  ASSERT_TRUE(device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.ui_language = 0x0411; }));
  auto language = reinterpret_cast<LANGID (*)()>(GetProcAddressW(core, u"GetUserDefaultUILanguage"));
  ASSERT_NE(language, nullptr);
  EXPECT_EQ(language(), 0x0411);
  WCHAR name[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(core, name, MAX_PATH), 20u);
  EXPECT_EQ(std::u16string(name), u"\\Windows\\CoreDll.dll");

  // Export names keep their case.
  EXPECT_FAILS_WITH(GetProcAddressW(core, u"getuserdefaultuilanguage"), nullptr, ERROR_PROC_NOT_FOUND);
  EXPECT_FAILS_WITH(GetProcAddressW(core, MAKEINTRESOURCEW(5)), nullptr, ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(core));
  EXPECT_TRUE(FreeLibrary(core));
  // No loads left.
  EXPECT_FAILS_WITH(FreeLibrary(core), FALSE, ERROR_INVALID_HANDLE);
}

TEST_F(Modules, UnknownModulesAndHandles) {
  EXPECT_FAILS_WITH(LoadLibraryW(u"nosuch.dll"), nullptr, ERROR_MOD_NOT_FOUND);
  EXPECT_FAILS_WITH(LoadLibraryW(nullptr), nullptr, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(GetProcAddressW(reinterpret_cast<HMODULE>(uintptr_t{0x1234}), u"x"), nullptr, ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(GetModuleHandleW(u"nosuch.dll"), nullptr, ERROR_MOD_NOT_FOUND);
}

TEST_F(Modules, TheProgramsOwnModule) {
  HMODULE self = GetModuleHandleW(nullptr);
  ASSERT_NE(self, nullptr);
  WCHAR name[8];
  for (auto& c : name) c = u'#';
  // Truncated to the buffer, terminated, and the size returned with an error.
  EXPECT_FAILS_WITH(GetModuleFileNameW(nullptr, name, 8), 8u, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(name[7], u'\0');
  EXPECT_NE(GetCommandLineW(), nullptr);
}

}  // namespace
