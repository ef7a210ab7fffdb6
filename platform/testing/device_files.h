// Device files for tests, through the device's own file API: written whole,
// read whole, looked for.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline bool WriteDeviceFile(const std::u16string& path, const std::vector<uint8_t>& data) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = data.empty() || (WriteFile(h, data.data(), DWORD(data.size()), &put, nullptr) && put == data.size());
  CloseHandle(h);
  return ok;
}

inline bool WriteDeviceText(const std::u16string& path, const std::string& text) {
  return WriteDeviceFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::optional<std::vector<uint8_t>> ReadDeviceFile(const std::u16string& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<uint8_t> out;
  uint8_t piece[4096];
  DWORD got = 0;
  while (ReadFile(h, piece, sizeof piece, &got, nullptr) && got > 0) out.insert(out.end(), piece, piece + got);
  CloseHandle(h);
  return out;
}

// The file's bytes as text, or "<missing>".
inline std::string ReadDeviceText(const std::u16string& path) {
  auto bytes = ReadDeviceFile(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

inline bool Exists(const std::u16string& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
