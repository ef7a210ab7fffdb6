// tlvarc compare: what a restore of FILE would add, change and delete when
// the current state is OTHER (another archive) or a device folder.
#include <nlohmann/json.hpp>
#include <ostream>
#include <unordered_map>

#include "archive_file.h"
#include "commands.h"
#include "device_source.h"
#include "fingerprint.h"
#include "text.h"

namespace tlvarc {
namespace {

constexpr const char* kHelp =
    "usage: tlvarc compare FILE OTHER [--json]\n"
    "       tlvarc compare FILE --device DIR [--json]\n"
    "Shows what a restore of the archive FILE would do when the current state is\n"
    "the archive OTHER, or the emulated device in DIR:\n"
    "  + PATH          added (only in FILE)\n"
    "  ~ PATH (what)   changed: content, attributes or times, class, type\n"
    "  - PATH          deleted by the restore's mirror pass (only in the current\n"
    "                  state), also the device's system files that a backup\n"
    "                  leaves out; databases the archive lacks are left as they\n"
    "                  are, and so are files in ROM, files in use and read-only\n"
    "                  files of a folder the archive holds\n"
    "Paths compare without regard to case, as on the device.\n"
    "Exit status: 0 the same, 1 different, 2 usage or I/O error.\n";

struct Difference {
  char sign;
  std::u16string path;
  std::string what;
};

const char* KindWord(EntryKind k) {
  switch (k) {
    case EntryKind::kFolder: return "folder";
    case EntryKind::kFile: return "file";
    case EntryKind::kKey: return "key";
    case EntryKind::kValue: return "value";
    case EntryKind::kDatabaseFolder: return "database folder";
    case EntryKind::kDatabase: return "database";
  }
  return "entry";
}

std::string WhatChanged(const Fingerprint& want, const Fingerprint& have) {
  if (want.kind != have.kind) return std::string(KindWord(have.kind)) + " becomes " + KindWord(want.kind);
  std::string what;
  auto add = [&](const char* part) { what += what.empty() ? part : std::string(", ") + part; };
  switch (want.kind) {
    case EntryKind::kFile:
      if (want.size != have.size) add("size");
      if (want.content != have.content) add("content");
      if (want.meta != have.meta) add("attributes or times");
      break;
    case EntryKind::kKey:
      if (want.meta != have.meta) add("class");
      break;
    case EntryKind::kValue:
      if (want.content != have.content || want.size != have.size) add("type or data");
      break;
    case EntryKind::kDatabase:
      if (want.meta != have.meta) add("type or sort orders");
      if (want.content != have.content || want.size != have.size) add("records");
      break;
    default:
      break;
  }
  return what;
}

// The folder a device path lies in ("\" for an entry of the root).
std::u16string ParentOf(const std::u16string& path) {
  size_t slash = path.rfind(u'\\');
  return slash == 0 || slash == std::u16string::npos ? u"\\" : path.substr(0, slash);
}

// The entries of the archive to restore, in archive order, by folded path.
class Wanted {
 public:
  void Add(const std::u16string& path, const Fingerprint& fp) {
    auto [it, fresh] = index_.emplace(FoldName(path), entries_.size());
    if (fresh) entries_.push_back({path, fp, false});
  }
  // Compares one entry of the current state.
  void See(const std::u16string& path, const Fingerprint& have, std::vector<Difference>* out) {
    auto it = index_.find(FoldName(path));
    if (it == index_.end()) {
      if (have.kept || (have.read_only && Holds(ParentOf(path)))) return;
      if (have.kind == EntryKind::kDatabase || have.kind == EntryKind::kDatabaseFolder)
        out->push_back({'-', path, "only here; a restore leaves it"});
      else if (have.left_out)
        out->push_back({'-', path, "a backup leaves it out"});
      else
        out->push_back({'-', path, ""});
      return;
    }
    Entry& e = entries_[it->second];
    e.seen = true;
    if (have.in_use) {
      out->push_back({'~', e.path, "in use on the device; a restore cannot replace it"});
      return;
    }
    std::string what = WhatChanged(e.fp, have);
    if (!what.empty()) out->push_back({'~', e.path, what});
  }
  bool Holds(const std::u16string& path) const { return index_.count(FoldName(path)) != 0; }
  void Unseen(std::vector<Difference>* out) const {
    for (const Entry& e : entries_)
      if (!e.seen) out->push_back({'+', e.path, ""});
  }

 private:
  struct Entry {
    std::u16string path;
    Fingerprint fp;
    bool seen;
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::u16string, size_t> index_;
};

DeviceWalker g_deviceWalker = nullptr;

Status WalkDeviceIfInstalled(const std::string& device_dir, const DeviceParts& parts, const EntrySink& sink) {
  if (!g_deviceWalker) return Status::Usage("this tlvarc was built without the emulated device; --device is not available");
  return g_deviceWalker(device_dir, parts, sink);
}

Status WalkArchive(const std::string& path, const EntrySink& sink) {
  ArchiveFile archive;
  TLVARC_TRY(archive.Open(path));
  FingerprintVisitor visitor(sink);
  return RecordWalker(&archive).Walk(&visitor);
}

}  // namespace

void SetDeviceWalker(DeviceWalker walker) { g_deviceWalker = walker; }

int RunCompare(const Args& args, CommandIo io) {
  Options options;
  Status parsed = options.Parse(args, {"--json", "--help"}, {"--device"});
  if (options.Has("--help")) return io.out << kHelp, 0;
  size_t wanted_args = options.Has("--device") ? 1 : 2;
  if (parsed.ok())
    parsed = options.CountPositional(wanted_args, wanted_args, "compare needs an archive and another archive or --device DIR");
  if (!parsed.ok()) return io.err << kHelp, Report(parsed, io);

  Wanted wanted;
  DeviceParts parts{false, false, false};
  Status status = WalkArchive(options.Positional()[0], [&](const std::u16string& p, const Fingerprint& fp) {
    wanted.Add(p, fp);
    parts.files |= p == u"\\";
    parts.registry |= fp.kind == EntryKind::kKey;
    parts.databases |= fp.kind == EntryKind::kDatabaseFolder;
  });
  std::vector<Difference> diffs;
  auto see = [&](const std::u16string& p, const Fingerprint& fp) { wanted.See(p, fp, &diffs); };
  if (status.ok())
    status = options.Has("--device") ? WalkDeviceIfInstalled(options.Value("--device"), parts, see) : WalkArchive(options.Positional()[1], see);
  if (!status.ok()) return Report(status, io);
  wanted.Unseen(&diffs);

  if (options.Has("--json")) {
    nlohmann::json list = nlohmann::json::array();
    for (const Difference& d : diffs) {
      const char* change = d.sign == '+' ? "add" : d.sign == '~' ? "change" : "delete";
      list.push_back({{"change", change}, {"path", Utf8(d.path)}, {"what", d.what}});
    }
    io.out << list.dump(2) << "\n";
  } else {
    for (const Difference& d : diffs)
      io.out << d.sign << " " << Utf8(d.path) << (d.what.empty() ? "" : " (" + d.what + ")") << "\n";
  }
  return diffs.empty() ? 0 : 1;
}

}  // namespace tlvarc
