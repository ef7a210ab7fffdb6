// The registry in the familiar REGEDIT text format, both ways: extract writes
// it and create reads it back to the same bytes. Key headers come in archive
// order ([KEY] again when values follow a subkey), a key's class name rides
// on a "; class:" comment line, strings are written as text only when they
// come back unchanged (else as typed hex), and quoted text escapes \, " and
// units that are not printable text as \uHHHH.
#pragma once

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include <cstdint>
#include "status.h"

namespace tlvarc {

constexpr const char* kRegFileFirstLine = "Windows Registry Editor Version 5.00";

class RegFileWriter {
 public:
  explicit RegFileWriter(std::ostream& out);
  // False when a component of the path cannot be written exactly (a unit
  // that is not text); the key is written with U+FFFD in its place.
  bool Key(const std::vector<std::u16string>& path, const std::u16string& class_name);
  void Value(const std::u16string& name, uint32_t type, const std::vector<uint8_t>& data);

 private:
  std::ostream& out_;
};

std::string QuoteRegText(std::u16string_view text);
// The right-hand side of a value line: "text", dword:0000002a, hex(7):41,00,...
std::string FormatRegData(uint32_t type, const std::vector<uint8_t>& data);

struct RegLine {
  enum Kind { kKey, kClass, kValue } kind = kKey;
  std::vector<std::u16string> path;  // kKey
  std::u16string text;               // kClass: the class name; kValue: the value name
  uint32_t type = 0;                    // kValue
  std::vector<uint8_t> data;            // kValue
};

class RegFileReader {
 public:
  Status Open(const std::string& path);
  // The next key, class or value; `*got` false at the end of the file.
  Status Next(RegLine* line, bool* got);

 private:
  Status Fail(const std::string& what) const;
  Status ParseValue(const std::string& text, RegLine* line) const;

  std::ifstream in_;
  std::string path_;
  int line_number_ = 0;
};

}  // namespace tlvarc
