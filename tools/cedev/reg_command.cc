// `cedev reg query|set|delete|export`: the device registry through the
// registry API, as a program sees it.
#include <cstdio>
#include <ostream>
#include <vector>
#include <windows.h>

#include "commands.h"
#include "reg_text.h"
#include "wstr.h"
#include "node_rules.h"

namespace cedev::tool {
namespace {

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return "REG_UNKNOWN";
  }
}

std::u16string Units(const std::vector<BYTE>& data) {
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  return text;
}

std::string DataText(DWORD type, const std::vector<BYTE>& data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::u16string text = Units(data);
    return ToUtf8(text.substr(0, text.find(u'\0')));
  }
  if (type == REG_MULTI_SZ) {
    std::u16string text = Units(data), joined;
    for (size_t start = 0; start < text.size() && text[start] != u'\0';) {
      size_t end = text.find(u'\0', start);
      if (end == std::u16string::npos) end = text.size();
      if (!joined.empty()) joined += u"\\0";
      joined += text.substr(start, end - start);
      start = end + 1;
    }
    return ToUtf8(joined);
  }
  char buf[32];
  if (type == REG_DWORD && data.size() == 4) {
    DWORD v = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
    std::snprintf(buf, sizeof buf, "0x%08x (%u)", v, v);
    return buf;
  }
  std::string hex;
  for (BYTE b : data) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    hex += buf;
  }
  return hex;
}

// A key as the user named it, split by the registry's own path rules.
struct RegKeyPath {
  HKEY root = nullptr;
  std::u16string subkey;
  std::string Display() const;
};

// The predefined roots are consecutive handles, in the order of their names.
std::string RootName(HKEY root) {
  return ToUtf8(archive::kRegistryRootNames[reinterpret_cast<uintptr_t>(root) - uintptr_t(HKEY_CLASSES_ROOT)]);
}

std::string RegKeyPath::Display() const { return subkey.empty() ? RootName(root) : RootName(root) + "\\" + ToUtf8(subkey); }

// Owns an opened key; the predefined roots are never closed.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_ && owned_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  LONG Open(const RegKeyPath& path) {
    if (path.subkey.empty()) {
      key_ = path.root;
      return ERROR_SUCCESS;
    }
    owned_ = true;
    return RegOpenKeyExW(path.root, path.subkey.c_str(), 0, KEY_ALL_ACCESS, &key_);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  bool owned_ = false;
};

std::string RegError(const RegKeyPath& path, LONG rc) { return path.Display() + ": " + ErrorText(static_cast<unsigned long>(rc)); }

int Query(const RegKeyPath& path, CommandContext& ctx) {
  OpenKey key;
  if (LONG rc = key.Open(path); rc != ERROR_SUCCESS) return Failure(ctx, RegError(path, rc));
  ctx.out << path.Display() << "\n";
  WCHAR name[MAX_PATH];
  for (DWORD i = 0;; ++i) {
    DWORD name_len = MAX_PATH, type = 0, size = 0;
    LONG rc = RegEnumValueW(key.get(), i, name, &name_len, nullptr, &type, nullptr, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return Failure(ctx, RegError(path, rc));
    std::vector<BYTE> data(size);
    rc = RegQueryValueExW(key.get(), name, nullptr, &type, data.empty() ? nullptr : data.data(), &size);
    if (rc != ERROR_SUCCESS) return Failure(ctx, RegError(path, rc));
    data.resize(size);
    std::string shown = name_len ? ToUtf8(std::u16string_view(name, name_len)) : "(default)";
    ctx.out << "    " << shown << "    " << TypeName(type) << "    " << DataText(type, data) << "\n";
  }
  for (DWORD i = 0;; ++i) {
    DWORD name_len = MAX_PATH;
    LONG rc = RegEnumKeyExW(key.get(), i, name, &name_len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return Failure(ctx, RegError(path, rc));
    ctx.out << path.Display() << "\\" << ToUtf8(std::u16string_view(name, name_len)) << "\n";
  }
  return kExitOk;
}

// The words of a `reg` command line after the subcommand.
struct RegWords {
  std::string key, name, type, data;
  bool has_name = false;
};

int Set(const RegKeyPath& path, const RegWords& words, CommandContext& ctx) {
  DWORD type = 0;
  std::vector<uint8_t> data;
  std::string why;
  if (!ParseRegValue(words.type, words.data, &type, &data, &why)) return Usage(ctx, "reg", why);
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(path.root, path.subkey.c_str(), 0, nullptr, 0, 0, nullptr, &key, &disposition);
  if (rc != ERROR_SUCCESS) return Failure(ctx, RegError(path, rc));
  std::u16string name = FromUtf8(words.name);
  rc = RegSetValueExW(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
  if (rc == ERROR_SUCCESS) rc = RegFlushKey(key);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Failure(ctx, path.Display() + " value " + words.name + ": " + ErrorText(rc));
  return kExitOk;
}

int Delete(const RegKeyPath& path, const RegWords& words, CommandContext& ctx) {
  if (!words.has_name) {
    if (path.subkey.empty()) return Usage(ctx, "reg", "a root key cannot be deleted");
    LONG rc = RegDeleteKeyW(path.root, path.subkey.c_str());
    if (rc != ERROR_SUCCESS) return Failure(ctx, RegError(path, rc));
    return kExitOk;
  }
  OpenKey key;
  if (LONG rc = key.Open(path); rc != ERROR_SUCCESS) return Failure(ctx, RegError(path, rc));
  std::u16string name = FromUtf8(words.name);
  LONG rc = RegDeleteValueW(key.get(), name.c_str());
  if (rc != ERROR_SUCCESS) return Failure(ctx, path.Display() + " value " + words.name + ": " + ErrorText(rc));
  return kExitOk;
}

int Export(const RegWords& words, CommandContext& ctx) {
  std::string text, why;
  if (!ExportRegistry(words.key, &text, &why)) return Failure(ctx, why);
  ctx.out << text;
  return kExitOk;
}

}  // namespace

int RunReg(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "reg");
  CLI::App& app = parser.app();
  app.require_subcommand(1);
  RegWords words;
  CLI::App* query = app.add_subcommand("query");
  query->add_option("KEY", words.key)->required();
  CLI::App* set = app.add_subcommand("set");
  set->add_option("KEY", words.key)->required();
  set->add_option("NAME", words.name)->required();
  set->add_option("TYPE", words.type)->required()->check(tlvcli::OneOf({"sz", "expand_sz", "multi_sz", "dword", "binary"}));
  set->add_option("DATA", words.data)->required();
  CLI::App* remove = app.add_subcommand("delete");
  remove->add_option("KEY", words.key)->required();
  CLI::Option* name = remove->add_option("NAME", words.name);
  CLI::App* exporting = app.add_subcommand("export");
  exporting->add_option("KEY", words.key);
  if (auto code = parser.Parse(args)) return *code;
  words.has_name = name->count() > 0;
  RegKeyPath path;
  std::string why;
  if (!exporting->parsed() && !SplitRegistryPath(words.key, &path.root, &path.subkey, &why)) return Usage(ctx, "reg", why);
  if (!OpenDevice(ctx)) return kExitFailure;
  if (query->parsed()) return Query(path, ctx);
  if (set->parsed()) return Set(path, words, ctx);
  if (remove->parsed()) return Delete(path, words, ctx);
  return Export(words, ctx);
}

}  // namespace cedev::tool
