// tlvarc list: every entry of an archive as a device path.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <ostream>

#include "archive_file.h"
#include "commands.h"
#include "presentation.h"
#include "record_walker.h"
#include "text.h"

namespace tlvarc {
namespace {

constexpr const char* kHelp =
    "usage: tlvarc list FILE [--long] [--json] [PATTERN...]\n"
    "Lists every entry as a device path: files and folders (\\My Documents\\a.txt),\n"
    "registry keys and values (HKEY_LOCAL_MACHINE\\init\\Launch80; @ is a key's\n"
    "default value), databases and their records (DATABASE\\Contacts Database #12).\n"
    "PATTERN may use * and ?, ignores case, and selects a path and all below it.\n"
    "--long adds attributes, size and the three file times in local time.\n"
    "Exit status: 0 listed, 1 damaged, 2 usage or I/O error.\n";

class ListVisitor : public RecordVisitor {
 public:
  ListVisitor(const Options& options, std::ostream& out)
      : filter_(std::vector<std::string>(options.Positional().begin() + 1, options.Positional().end())),
        long_(options.Has("--long")),
        json_(options.Has("--json")),
        out_(out) {
    if (json_) out_ << "[";
  }
  void Finish() {
    if (json_) out_ << (first_ ? "]\n" : "\n]\n");
  }

  Status Enter(const NodeInfo& node) override {
    if (node.type == archive::kNodeRoot) return {};
    const char* kind = node.type == archive::kNodeDirectory ? "folder"
                       : node.type == archive::kNodeDbFolder ? "databases"
                                                             : "key";
    Emit(node.path, kind, nlohmann::json::object(), "");
    return {};
  }
  Status File(const NodeInfo& node, const FileFields& f, ContentReader&) override {
    if (!filter_.Selects(node.path)) return {};
    nlohmann::json extra = {{"attributes", f.attributes}, {"size", f.size},
                            {"created", LocalTime(f.creation)}, {"accessed", LocalTime(f.access)},
                            {"modified", LocalTime(f.write)}};
    std::string text = AttributeLetters(f.attributes) + " " + Pad(std::to_string(f.size), 12) + "  " +
                       LocalTime(f.creation) + "  " + LocalTime(f.access) + "  " + LocalTime(f.write);
    Emit(node.path, "file", extra, text);
    return {};
  }
  Status RegValue(const NodeInfo& node, uint32_t type, const std::vector<uint8_t>& data) override {
    nlohmann::json extra = {{"valueType", RegTypeName(type)}, {"size", data.size()}};
    Emit(node.path, "value", extra, Pad(RegTypeName(type), 21) + Pad(std::to_string(data.size()), 12));
    return {};
  }
  Status Database(const NodeInfo& node, const DatabaseFields& f) override {
    nlohmann::json extra = {{"databaseType", f.type}, {"sortOrders", f.sortCount}};
    char text[64];
    std::snprintf(text, sizeof text, "type 0x%08X, %zu sort orders", unsigned(f.type), size_t(f.sortCount));
    Emit(node.path, "database", extra, text);
    return {};
  }
  Status Record(const NodeInfo& db, const DbRecord& r) override {
    std::u16string path = db.path + u" #" + U16(std::to_string(r.index));
    nlohmann::json extra = {{"properties", r.property_count}, {"size", r.buffer.size()}};
    Emit(path, "record", extra, std::to_string(r.property_count) + " properties, " + std::to_string(r.buffer.size()) + " bytes");
    return {};
  }

 private:
  static std::string Pad(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
  }

  void Emit(const std::u16string& path, const char* kind, nlohmann::json extra, const std::string& long_text) {
    if (!filter_.Selects(path)) return;
    if (json_) {
      extra["path"] = Utf8(path);
      extra["kind"] = kind;
      out_ << (first_ ? "\n" : ",\n") << extra.dump();
    } else if (long_) {
      out_ << kind << std::string(10 - std::min<size_t>(9, std::strlen(kind)), ' ') << long_text
           << (long_text.empty() ? "" : "  ") << Utf8(path) << "\n";
    } else {
      out_ << Utf8(path) << "\n";
    }
    first_ = false;
  }

  PathFilter filter_;
  bool long_;
  bool json_;
  bool first_ = true;
  std::ostream& out_;
};

}  // namespace

int RunList(const Args& args, CommandIo io) {
  Options options;
  Status parsed = options.Parse(args, {"--long", "--json", "--help"}, {});
  if (options.Has("--help")) return io.out << kHelp, 0;
  if (parsed.ok()) parsed = options.CountPositional(1, SIZE_MAX, "list needs an archive");
  if (!parsed.ok()) return io.err << kHelp, Report(parsed, io);

  ArchiveFile archive;
  Status status = archive.Open(options.Positional()[0]);
  if (!status.ok()) return Report(status, io);
  ListVisitor lister(options, io.out);
  status = RecordWalker(&archive).Walk(&lister);
  lister.Finish();
  return status.ok() ? 0 : Report(status, io);
}

}  // namespace tlvarc
