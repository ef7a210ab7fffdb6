#include "reg_file.h"

#include <cstdio>
#include <cstring>

#include "little_endian.h"
#include "text.h"

namespace tlvarc {
namespace {

constexpr const char* kClassPrefix = "; class: ";
constexpr uint32_t kRegSz = 1, kRegBinary = 3, kRegDword = 4;

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// A REG_SZ value that a quoted line gives back byte for byte.
bool IsPlainString(uint32_t type, const std::vector<uint8_t>& data, std::u16string* text) {
  if (type != kRegSz || data.size() < 2 || data.size() % 2) return false;
  size_t units = data.size() / 2 - 1;
  text->resize(units);
  for (size_t i = 0; i <= units; ++i) {
    char16_t c = char16_t(archive::GetLe16(data.data() + 2 * i));
    if ((c == 0) != (i == units)) return false;
    if (i < units) (*text)[i] = c;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at text[*at] == '"'; leaves *at after the closing quote.
bool ParseQuoted(const std::string& text, size_t* at, std::u16string* out) {
  out->clear();
  if (*at >= text.size() || text[*at] != '"') return false;
  std::string run;
  auto flush = [&]() {
    std::u16string part;
    if (!FromUtf8(run, &part)) return false;
    *out += part;
    run.clear();
    return true;
  };
  for (size_t i = *at + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      *at = i + 1;
      return flush();
    }
    if (c != '\\') {
      run += c;
      continue;
    }
    if (++i >= text.size()) return false;
    if (text[i] == '\\' || text[i] == '"') {
      run += text[i];
    } else if (text[i] == 'u' && i + 4 < text.size()) {
      if (!flush()) return false;
      unsigned unit = 0;
      for (int k = 1; k <= 4; ++k) {
        int d = HexDigit(text[i + size_t(k)]);
        if (d < 0) return false;
        unit = unit << 4 | unsigned(d);
      }
      out->push_back(char16_t(unit));
      i += 4;
    } else {
      return false;
    }
  }
  return false;
}

bool ParseHexList(const std::string& text, std::vector<uint8_t>* out) {
  out->clear();
  int high = -1;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t') {
      if (high >= 0) return false;  // one digit alone
      continue;
    }
    int d = HexDigit(c);
    if (d < 0) return false;
    if (high < 0) {
      high = d;
    } else {
      out->push_back(uint8_t(high << 4 | d));
      high = -1;
    }
  }
  return high < 0;
}

}  // namespace

std::string QuoteRegText(std::u16string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pair) {
      out += Utf8(text.substr(i, 2));
      ++i;
    } else if (c < 0x20 || c == 0x7F || IsSurrogate(c)) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", unsigned(c));
      out += esc;
    } else if (c == u'\\' || c == u'"') {
      out += '\\';
      out += char(c);
    } else {
      out += Utf8(text.substr(i, 1));
    }
  }
  return out + "\"";
}

std::string FormatRegData(uint32_t type, const std::vector<uint8_t>& data) {
  std::u16string text;
  if (IsPlainString(type, data, &text)) return QuoteRegText(text);
  char head[32];
  if (type == kRegDword && data.size() == 4) {
    uint32_t v = archive::GetLe32(data.data());
    std::snprintf(head, sizeof head, "dword:%08x", unsigned(v));
    return head;
  }
  if (type == kRegBinary)
    std::snprintf(head, sizeof head, "hex:");
  else
    std::snprintf(head, sizeof head, "hex(%x):", unsigned(type));
  std::string out = head;
  static const char* digits = "0123456789abcdef";
  out.reserve(out.size() + data.size() * 3);
  for (size_t i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

RegFileWriter::RegFileWriter(std::ostream& out) : out_(out) { out_ << kRegFileFirstLine << "\n"; }

bool RegFileWriter::Key(const std::vector<std::u16string>& path, const std::u16string& class_name) {
  bool exact = true;
  out_ << "\n[";
  for (size_t i = 0; i < path.size(); ++i) {
    for (char16_t c : path[i]) exact = exact && c >= 0x20 && c != 0x7F;
    exact = exact && IsExactText(path[i]);
    out_ << (i ? "\\" : "") << Utf8(path[i]);
  }
  out_ << "]\n";
  if (!class_name.empty()) out_ << kClassPrefix << QuoteRegText(class_name) << "\n";
  return exact;
}

void RegFileWriter::Value(const std::u16string& name, uint32_t type, const std::vector<uint8_t>& data) {
  out_ << (name.empty() ? std::string("@") : QuoteRegText(name)) << "=" << FormatRegData(type, data) << "\n";
}

Status RegFileReader::Open(const std::string& path) {
  path_ = path;
  in_.open(path, std::ios::binary);
  if (!in_) return Status::Io("cannot open " + path + ": " + std::strerror(errno));
  std::string first;
  std::getline(in_, first);
  ++line_number_;
  if (first.rfind("\xEF\xBB\xBF", 0) == 0) first.erase(0, 3);
  if (!first.empty() && first.back() == '\r') first.pop_back();
  if (first != kRegFileFirstLine) return Fail(std::string("the first line must be \"") + kRegFileFirstLine + "\"");
  return {};
}

Status RegFileReader::Fail(const std::string& what) const {
  return Status::Usage(path_ + ":" + std::to_string(line_number_) + ": " + what);
}

Status RegFileReader::Next(RegLine* line, bool* got) {
  *got = false;
  std::string text;
  while (std::getline(in_, text)) {
    ++line_number_;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    // REGEDIT continues long hex lines with a trailing backslash.
    while (!text.empty() && text.back() == '\\' && text[0] != '[' && text[0] != ';') {
      std::string more;
      if (!std::getline(in_, more)) break;
      ++line_number_;
      if (!more.empty() && more.back() == '\r') more.pop_back();
      text.pop_back();
      size_t skip = more.find_first_not_of(" \t");
      text += skip == std::string::npos ? "" : more.substr(skip);
    }
    if (text.empty()) continue;
    if (text.rfind(kClassPrefix, 0) == 0) {
      size_t at = std::strlen(kClassPrefix);
      line->kind = RegLine::kClass;
      if (!ParseQuoted(text, &at, &line->text) || at != text.size()) return Fail("a class line needs one quoted name");
      *got = true;
      return {};
    }
    if (text[0] == ';') continue;
    if (text[0] == '[') {
      size_t close = text.rfind(']');
      if (close == std::string::npos || close == 1) return Fail("a key header needs a name between [ and ]");
      line->kind = RegLine::kKey;
      line->path.clear();
      std::string inner = text.substr(1, close - 1);
      for (size_t start = 0;;) {
        size_t cut = inner.find('\\', start);
        std::u16string part;
        if (!FromUtf8(inner.substr(start, cut - start), &part)) return Fail("the key name is not UTF-8 text");
        if (part.empty()) return Fail("the key path has an empty name");
        line->path.push_back(part);
        if (cut == std::string::npos) break;
        start = cut + 1;
      }
      *got = true;
      return {};
    }
    TLVARC_TRY(ParseValue(text, line));
    *got = true;
    return {};
  }
  if (in_.bad()) return Status::Io("cannot read " + path_);
  return {};
}

Status RegFileReader::ParseValue(const std::string& text, RegLine* line) const {
  line->kind = RegLine::kValue;
  size_t at = 0;
  if (text[0] == '@') {
    line->text.clear();
    at = 1;
  } else if (!ParseQuoted(text, &at, &line->text)) {
    return Fail("a value line starts with a quoted name or @");
  }
  if (at >= text.size() || text[at] != '=') return Fail("= expected after the value name");
  std::string data = text.substr(at + 1);
  if (!data.empty() && data[0] == '"') {
    size_t q = 0;
    std::u16string value;
    if (!ParseQuoted(data, &q, &value) || q != data.size()) return Fail("a string value must be one quoted text");
    line->type = kRegSz;
    line->data.clear();
    for (char16_t c : value) {
      line->data.push_back(uint8_t(c));
      line->data.push_back(uint8_t(c >> 8));
    }
    line->data.push_back(0);
    line->data.push_back(0);
    return {};
  }
  if (data.rfind("dword:", 0) == 0) {
    std::string digits = data.substr(6);
    if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return Fail("dword: needs eight hex digits");
    uint32_t v = uint32_t(std::stoul(digits, nullptr, 16));
    line->type = kRegDword;
    line->data = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return {};
  }
  size_t colon = data.find(':');
  if (data.rfind("hex", 0) != 0 || colon == std::string::npos) return Fail("unknown value data (\"text\", dword: or hex: expected)");
  std::string kind = data.substr(0, colon);
  if (kind == "hex") {
    line->type = kRegBinary;
  } else if (kind.size() > 5 && kind[3] == '(' && kind.back() == ')' && kind.size() <= 13 &&
             kind.substr(4, kind.size() - 5).find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
    line->type = uint32_t(std::stoul(kind.substr(4, kind.size() - 5), nullptr, 16));
  } else {
    return Fail("unknown value type " + kind);
  }
  if (!ParseHexList(data.substr(colon + 1), &line->data)) return Fail("the hex bytes are not pairs of hex digits");
  return {};
}

}  // namespace tlvarc
