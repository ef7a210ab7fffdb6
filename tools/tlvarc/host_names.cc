#include "host_names.h"

#include "text.h"

namespace tlvarc {
namespace {

constexpr size_t kMaxHostNameBytes = 200;  // leaves room for ~N under NAME_MAX

}  // namespace

std::string SafeHostName(const std::u16string& device_name) {
  std::string name = Utf8(device_name);
  for (char& c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
  }
  if (name.size() > kMaxHostNameBytes) {
    size_t cut = kMaxHostNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole characters only
    name.resize(cut);
  }
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  return name;
}

std::string AlternativeName(const std::string& name, int n) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + "~" + std::to_string(n) + name.substr(dot);
}

}  // namespace tlvarc
