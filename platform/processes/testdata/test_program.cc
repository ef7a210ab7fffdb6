// A device program for the process tests. Its command line says what to do:
//   exit N              return N from WinMain
//   exitprocess N       call ExitProcess(N)
//   sleep MS [N]        sleep, then return N
//   hold NAME FILE      create the named mutex owning it, write FILE, sleep for ever
//   try NAME            return the result of waiting 0 ms for the named mutex
//   whoami FILE         write the module file name and command line to FILE
//   exitthread N        call ExitThread(N) on the primary thread
//   spawn FILE ARGS...  start this program with ARGS, write its pid to FILE, wait for it
//   reset               call SysSoftReset
//   eeprom              return E2pRead's first byte (or 1000 + error)
//   rand                return the first two values of rand, the first in the high 16 bits
//   scribble DEVPATH N HOW  write N bytes ('a' + offset % 26) to DEVPATH in 1 KiB
//                       calls, never close it, then leave by HOW: "return" from
//                       WinMain or "exitprocess"
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ce/eeprom.h"
#include "ce/halmix.h"
#include "ce/stdlib.h"
#include "wstr.h"

namespace {

std::vector<std::string> Words(LPCWSTR cmdline) {
  std::vector<std::string> out;
  std::string all = cedev::ToUtf8(cedev::WView(cmdline)), word;
  for (char c : all + " ") {
    if (c == ' ') {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return out;
}

void Touch(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int) {
  auto w = Words(lpCmdLine);
  auto arg = [&](size_t i) { return i < w.size() ? w[i] : std::string(); };
  auto num = [&](size_t i) { return i < w.size() ? std::stoi(w[i]) : 0; };
  const std::string verb = arg(0);
  if (verb == "exit") return num(1);
  if (verb == "rand") {
    int first = rand();
    return first << 16 | rand();
  }
  if (verb == "exitprocess") ExitProcess(static_cast<UINT>(num(1)));
  if (verb == "sleep") {
    Sleep(static_cast<DWORD>(num(1)));
    return num(2);
  }
  if (verb == "hold" || verb == "try") {
    std::u16string name = cedev::FromUtf8(arg(1));
    HANDLE mutex = CreateMutexW(nullptr, verb == "hold", name.c_str());
    if (!mutex) return 1000 + static_cast<int>(GetLastError());
    if (verb == "try") return static_cast<int>(WaitForSingleObject(mutex, 0));
    Touch(arg(2), "held");
    Sleep(INFINITE);
  }
  if (verb == "whoami") {
    WCHAR module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    Touch(arg(1), cedev::ToUtf8(module) + "\n" + cedev::ToUtf8(GetCommandLineW()) + "\n");
    return 0;
  }
  if (verb == "exitthread") ExitThread(static_cast<DWORD>(num(1)));
  if (verb == "spawn") {
    std::string rest;
    for (size_t i = 2; i < w.size(); ++i) rest += (rest.empty() ? "" : " ") + w[i];
    PROCESS_INFORMATION pi{};
    std::u16string args = cedev::FromUtf8(rest);
    if (!CreateProcessW(u"\\Windows\\testprog.exe", args.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi)) {
      return 1000 + static_cast<int>(GetLastError());
    }
    Touch(arg(1) + ".tmp", std::to_string(pi.dwProcessId));
    std::rename((arg(1) + ".tmp").c_str(), arg(1).c_str());
    WaitForSingleObject(pi.hProcess, INFINITE);
    return 0;
  }
  if (verb == "scribble") {
    std::u16string path = cedev::FromUtf8(arg(1));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1000 + static_cast<int>(GetLastError());
    char piece[1024];
    for (int at = 0, total = num(2); at < total; at += 1024) {
      int n = total - at < 1024 ? total - at : 1024;
      for (int i = 0; i < n; ++i) piece[i] = static_cast<char>('a' + (at + i) % 26);
      DWORD put = 0;
      if (!WriteFile(file, piece, static_cast<DWORD>(n), &put, nullptr)) return 2000 + static_cast<int>(GetLastError());
    }
    if (arg(3) == "exitprocess") ExitProcess(7);
    return 7;
  }
  if (verb == "reset") SysSoftReset();
  if (verb == "eeprom") {
    HMODULE lib = LoadLibraryW(u"eeprom.dll");
    if (!lib) return 1000 + static_cast<int>(GetLastError());
    auto read = reinterpret_cast<PFN_E2PREAD>(GetProcAddressW(lib, u"E2pRead"));
    BYTE byte = 0;
    DWORD rc = read ? read(0, 0, &byte, 1) : 999;
    FreeLibrary(lib);
    return rc == 0 ? byte : static_cast<int>(1000 + rc);
  }
  return 255;
}
