// wsprintfW: the device's formatter. Integer conversions take the device's
// sizes: int and long are 32-bit, I64 is 64-bit.
#include <cstdarg>
#include <cstdint>
#include <string>

#include "ce/strings.h"
#include "format.h"

namespace {

struct Spec {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = 0;
  int precision = -1;
  enum Size { kDefault, kShort, kLong, kInt64 } size = kDefault;
  WCHAR conversion = 0;
};

class Formatter {
 public:
  Formatter(LPCWSTR format, va_list args) : p_(format) { va_copy(args_, args); }
  ~Formatter() { va_end(args_); }

  std::u16string Run() {
    while (*p_) {
      if (*p_ != u'%') {
        out_ += *p_++;
        continue;
      }
      ++p_;
      Spec spec;
      if (!ParseSpec(&spec)) break;
      Convert(spec);
    }
    return std::move(out_);
  }

 private:
  bool ParseSpec(Spec* s) {
    for (;; ++p_) {
      if (*p_ == u'-') s->left = true;
      else if (*p_ == u'+') s->plus = true;
      else if (*p_ == u' ') s->space = true;
      else if (*p_ == u'0') s->zero = true;
      else if (*p_ == u'#') s->alt = true;
      else break;
    }
    s->width = ParseCount();
    if (s->width < 0) {
      s->left = true;
      s->width = -s->width;
    }
    if (*p_ == u'.') {
      ++p_;
      s->precision = ParseCount();
      if (s->precision < 0) s->precision = 0;
    }
    if (*p_ == u'l') {
      s->size = Spec::kLong;
      ++p_;
    } else if (*p_ == u'h') {
      s->size = Spec::kShort;
      ++p_;
    } else if (p_[0] == u'I' && p_[1] == u'6' && p_[2] == u'4') {
      s->size = Spec::kInt64;
      p_ += 3;
    }
    s->conversion = *p_;
    if (!*p_) return false;
    ++p_;
    return true;
  }

  int ParseCount() {
    if (*p_ == u'*') {
      ++p_;
      return va_arg(args_, int);
    }
    int n = 0;
    while (*p_ >= u'0' && *p_ <= u'9') n = n * 10 + (*p_++ - u'0');
    return n;
  }

  void Convert(const Spec& s) {
    switch (s.conversion) {
      case u'd':
      case u'i': return Signed(s);
      case u'u': return Unsigned(s, 10, false);
      case u'x': return Unsigned(s, 16, false);
      case u'X': return Unsigned(s, 16, true);
      case u'p': return Pointer(s);
      case u'c': return Char(s);
      case u's': return s.size == Spec::kShort ? NarrowString(s) : WideString(s);
      case u'S': return NarrowString(s);
      case u'%': out_ += u'%'; return;
      default: out_ += s.conversion; return;  // unknown: copied as the device does
    }
  }

  uint64_t TakeUnsigned(const Spec& s) {
    if (s.size == Spec::kInt64) return va_arg(args_, uint64_t);
    auto v = static_cast<uint32_t>(va_arg(args_, unsigned int));
    return s.size == Spec::kShort ? static_cast<uint16_t>(v) : v;
  }

  void Signed(const Spec& s) {
    int64_t v;
    if (s.size == Spec::kInt64) v = va_arg(args_, int64_t);
    else if (s.size == Spec::kShort) v = static_cast<int16_t>(va_arg(args_, int));
    else v = va_arg(args_, int32_t);
    uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    std::u16string sign = v < 0 ? u"-" : s.plus ? u"+" : s.space ? u" " : u"";
    Number(s, sign, Digits(magnitude, 10, false, s.precision));
  }

  void Unsigned(const Spec& s, unsigned base, bool upper) {
    uint64_t v = TakeUnsigned(s);
    std::u16string prefix = (s.alt && base == 16 && v != 0) ? (upper ? u"0X" : u"0x") : u"";
    Number(s, prefix, Digits(v, base, upper, s.precision));
  }

  void Pointer(const Spec& s) {
    auto v = reinterpret_cast<uintptr_t>(va_arg(args_, void*));
    Number(s, u"", Digits(static_cast<uint32_t>(v), 16, true, 8));
  }

  static std::u16string Digits(uint64_t v, unsigned base, bool upper, int precision) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string d;
    while (v) {
      d.insert(d.begin(), static_cast<char16_t>(set[v % base]));
      v /= base;
    }
    int min_digits = precision < 0 ? 1 : precision;
    if (static_cast<int>(d.size()) < min_digits) d.insert(0, min_digits - d.size(), u'0');
    return d;
  }

  // Zero padding goes between the sign or prefix and the digits; it is not
  // used with left alignment or an explicit precision.
  void Number(const Spec& s, const std::u16string& prefix, const std::u16string& digits) {
    size_t len = prefix.size() + digits.size();
    size_t pad = s.width > static_cast<int>(len) ? s.width - len : 0;
    if (s.zero && !s.left && s.precision < 0) {
      out_ += prefix;
      out_.append(pad, u'0');
      out_ += digits;
      return;
    }
    Pad(s, prefix + digits, u' ');
  }

  void Char(const Spec& s) {
    auto c = static_cast<WCHAR>(va_arg(args_, int));
    Pad(s, std::u16string(1, c));
  }

  void WideString(const Spec& s) {
    auto* str = va_arg(args_, const WCHAR*);
    std::u16string_view text = str ? std::u16string_view(str, wcslen(str)) : std::u16string_view(u"(null)");
    if (s.precision >= 0 && text.size() > static_cast<size_t>(s.precision)) text = text.substr(0, s.precision);
    Pad(s, std::u16string(text));
  }

  // Narrow strings are taken as Latin-1, the device's behaviour for the
  // ASCII texts programs pass this way.
  void NarrowString(const Spec& s) {
    auto* str = va_arg(args_, const char*);
    std::u16string text;
    for (const char* c = str ? str : "(null)"; *c; ++c) text += static_cast<char16_t>(static_cast<unsigned char>(*c));
    if (s.precision >= 0 && text.size() > static_cast<size_t>(s.precision)) text.resize(s.precision);
    Pad(s, text);
  }

  void Pad(const Spec& s, const std::u16string& text) { Pad(s, text, s.zero ? u'0' : u' '); }
  void Pad(const Spec& s, const std::u16string& text, char16_t fill) {
    size_t pad = s.width > static_cast<int>(text.size()) ? s.width - text.size() : 0;
    if (!s.left) out_.append(pad, fill);
    out_ += text;
    if (s.left) out_.append(pad, u' ');
  }

  const WCHAR* p_;
  va_list args_;
  std::u16string out_;
};

}  // namespace

std::u16string cedev::FormatW(const WCHAR* format, va_list args) { return Formatter(format, args).Run(); }

int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args) {
  if (!out || !format) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string text = Formatter(format, args).Run();
  text.copy(out, text.size());
  out[text.size()] = 0;
  return static_cast<int>(text.size());
}

int wsprintfW(LPWSTR out, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(out, format, args);
  va_end(args);
  return n;
}
