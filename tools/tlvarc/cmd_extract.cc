// tlvarc extract: files, registry and databases of an archive into a folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "archive_file.h"
#include "commands.h"
#include "db_json.h"
#include "extract_layout.h"
#include "host_fd.h"
#include "host_names.h"
#include "presentation.h"
#include "record_walker.h"
#include "reg_file.h"
#include "terminal.h"
#include "text.h"

namespace tlvarc {
namespace {

using nlohmann::json;

constexpr const char* kHelp =
    "usage: tlvarc extract FILE DIR [--password] [PATTERN...]\n"
    "Unpacks the archive into the new or empty folder DIR:\n"
    "  DIR/files/           the files, names made safe for this computer\n"
    "  DIR/files.manifest   exact device names, attributes and the three times\n"
    "                       (each file's modification time is set too, and a\n"
    "                       read-only file loses its write permission)\n"
    "  DIR/registry.reg     the registry in REGEDIT text format, exact data\n"
    "  DIR/databases.json   the databases with typed properties\n"
    "  DIR/archive.json     version, platform and layout, for tlvarc create\n"
    "PATTERN (with * and ?) limits what is unpacked, as for list. Nothing is ever\n"
    "written outside DIR, and nothing already in it is overwritten. --password asks for the password (or takes\n"
    "TLVARC_PASSWORD without a terminal); an archive with a password needs it, and\n"
    "a wrong one writes nothing at all.\n"
    "Exit status: 0 unpacked, 1 damaged, 2 usage or I/O error (also an archive\n"
    "with a password extracted without --password), 3 wrong password.\n";

timespec ToTimespec(const archive::FileTime& t) {
  archive::UnixTime u = archive::ToUnixTime(t.Ticks());
  return timespec{time_t(u.seconds), long(u.nanoseconds)};
}

// The files/ tree and its manifest. Folders are made only when something in
// them is selected, so a pattern unpacks a file together with its folders.
class FileTree {
 public:
  FileTree(int dir_fd, const std::string& dir, const PathFilter& filter) : dir_fd_(dir_fd), dir_(dir), filter_(filter) {}

  Status Enter(const NodeInfo& node) {
    folders_.push_back(Folder{node.name, node.path, Fd(), false});
    if (filter_.Selects(node.path)) return Materialize();
    return {};
  }

  Status Leave() {
    if (folders_.back().made) manifest_ << json{{"end", true}}.dump() << "\n";
    folders_.pop_back();
    return ManifestOk();
  }

  Status File(const NodeInfo& node, const FileFields& f, ContentReader& content) {
    if (!filter_.Selects(node.path)) return {};
    TLVARC_TRY(Materialize());
    std::string host;
    Fd fd = CreateUnique(folders_.back().fd.get(), SafeHostName(node.name), &host, [](int parent, const char* name) {
      return ::openat(parent, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    });
    if (fd.get() < 0) return Status::Io(ErrnoText("cannot create a file for " + Utf8(node.path)));
    static thread_local std::vector<uint8_t> buffer(1 << 20);
    while (content.Remaining() > 0) {
      size_t got = 0;
      TLVARC_TRY(content.Read(buffer.data(), buffer.size(), &got));
      for (size_t at = 0; at < got;) {
        ssize_t n = ::write(fd.get(), buffer.data() + at, got - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Status::Io(ErrnoText("cannot write the file for " + Utf8(node.path)));
        at += size_t(n);
      }
    }
    TLVARC_TRY(KeepReadOnly(fd.get(), node, f.attributes));
    const timespec times[2] = {ToTimespec(f.access), ToTimespec(f.write)};
    ::futimens(fd.get(), times);  // a host that cannot hold the time keeps its own; the manifest has it
    json line = {{"host", host}, {"attributes", f.attributes}, {"created", f.creation.Ticks()},
                 {"accessed", f.access.Ticks()}, {"modified", f.write.Ticks()}, {"size", f.size}};
    PutName(&line, "file", node.name);
    manifest_ << line.dump() << "\n";
    ++files;
    return ManifestOk();
  }

  uint64_t files = 0;
  bool used() const { return manifest_.is_open(); }

 private:
  struct Folder {
    std::u16string name;
    std::u16string path;
    Fd fd;
    bool made;
  };

  // A file read-only on the device is read-only here too: its write bits go,
  // nothing else. Its folder stays writable, so the extraction can always be
  // removed again.
  static Status KeepReadOnly(int fd, const NodeInfo& node, uint32_t attributes) {
    if (!(attributes & archive::kAttributeReadOnly)) return {};
    struct stat st;
    if (::fstat(fd, &st) != 0 || ::fchmod(fd, st.st_mode & ~mode_t(0222)) != 0)
      return Status::Io(ErrnoText("cannot make the file for " + Utf8(node.path) + " read-only"));
    return {};
  }

  template <class Make>
  static Fd CreateUnique(int parent, const std::string& wanted, std::string* host, Make make) {
    for (int n = 1; n < 10000; ++n) {
      *host = n == 1 ? wanted : AlternativeName(wanted, n);
      int fd = make(parent, host->c_str());
      if (fd >= 0 || errno != EEXIST) return Fd(fd);
    }
    return Fd(-1);
  }

  static bool MakeUniqueFolder(int parent, const std::string& wanted, std::string* host) {
    for (int n = 1; n < 10000; ++n) {
      *host = n == 1 ? wanted : AlternativeName(wanted, n);
      if (::mkdirat(parent, host->c_str(), 0755) == 0) return true;
      if (errno != EEXIST) return false;
    }
    return false;
  }

  Status ManifestOk() {
    if (manifest_.is_open() && !manifest_) return Status::Io("cannot write " + dir_ + "/" + layout::kManifest);
    return {};
  }

  // Makes every folder on the current path that does not exist yet.
  Status Materialize() {
    for (size_t i = 0; i < folders_.size(); ++i) {
      Folder& folder = folders_[i];
      if (folder.made) continue;
      std::string host;
      if (i == 0) {
        // The top folder "\" is files/ itself.
        if (::mkdirat(dir_fd_, layout::kFilesDir, 0755) != 0) return Status::Io(ErrnoText("cannot create " + dir_ + "/files"));
        folder.fd = Fd(::openat(dir_fd_, layout::kFilesDir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        manifest_.open(dir_ + "/" + layout::kManifest, std::ios::binary | std::ios::trunc);
        if (!manifest_) return Status::Io("cannot create " + dir_ + "/" + layout::kManifest);
      } else {
        int parent = folders_[i - 1].fd.get();
        if (!MakeUniqueFolder(parent, SafeHostName(folder.name), &host))
          return Status::Io(ErrnoText("cannot create a folder for " + Utf8(folder.path)));
        folder.fd = Fd(::openat(parent, host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      }
      if (folder.fd.get() < 0) return Status::Io(ErrnoText("cannot open the folder for " + Utf8(folder.path)));
      folder.made = true;
      json line = {{"host", host}};
      PutName(&line, "folder", folder.name);
      manifest_ << line.dump() << "\n";
    }
    return ManifestOk();
  }

  int dir_fd_;
  std::string dir_;
  const PathFilter& filter_;
  std::vector<Folder> folders_;
  std::ofstream manifest_;
};

// registry.reg. Key headers are written when something in the key is
// selected, and again when values of a key follow one of its subkeys.
class RegistryText {
 public:
  RegistryText(const std::string& dir, const PathFilter& filter) : dir_(dir), filter_(filter) {}

  Status Enter(const NodeInfo& node) {
    keys_.push_back(Key{node.name, node.class_name, node.path, false});
    if (filter_.Selects(node.path)) return Materialize();
    return {};
  }
  void Leave() { keys_.pop_back(); }

  Status Value(const NodeInfo& node, uint32_t type, const std::vector<uint8_t>& data) {
    if (!filter_.Selects(node.path)) return {};
    TLVARC_TRY(Materialize());
    if (last_header_ != keys_.size()) WriteHeader(keys_.size(), false);
    writer_->Value(node.name, type, data);
    ++values;
    return out_ ? Status() : Status::Io("cannot write " + dir_ + "/" + layout::kRegistry);
  }

  bool used() const { return writer_ != nullptr; }
  uint64_t values = 0;
  std::vector<std::string> inexact;  // keys whose names text cannot carry

 private:
  struct Key {
    std::u16string name, class_name, path;
    bool made;
  };

  void WriteHeader(size_t depth, bool with_class) {
    std::vector<std::u16string> path;
    for (size_t i = 0; i < depth; ++i) path.push_back(keys_[i].name);
    if (!writer_->Key(path, with_class ? keys_[depth - 1].class_name : u"") && with_class)
      inexact.push_back(Utf8(keys_[depth - 1].path));
    last_header_ = depth;
  }

  Status Materialize() {
    if (!writer_) {
      out_.open(dir_ + "/" + layout::kRegistry, std::ios::binary | std::ios::trunc);
      if (!out_) return Status::Io("cannot create " + dir_ + "/" + layout::kRegistry);
      writer_ = std::make_unique<RegFileWriter>(out_);
    }
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i].made) continue;
      WriteHeader(i + 1, true);
      keys_[i].made = true;
    }
    return out_ ? Status() : Status::Io("cannot write " + dir_ + "/" + layout::kRegistry);
  }

  std::string dir_;
  const PathFilter& filter_;
  std::vector<Key> keys_;
  std::ofstream out_;
  std::unique_ptr<RegFileWriter> writer_;
  size_t last_header_ = 0;
};

// databases.json, written as the records come so memory stays small.
class DatabaseText {
 public:
  DatabaseText(const std::string& dir, const PathFilter& filter) : dir_(dir), filter_(filter) {}

  void Folder(const NodeInfo& node) { folder_ = node.name; }
  Status Database(const NodeInfo& node, const DatabaseFields& fields) {
    db_name_ = node.name;
    db_fields_ = fields;
    db_open_ = false;
    if (filter_.Selects(node.path)) return OpenDatabase();
    return {};
  }
  Status Record(const NodeInfo& db, const DbRecord& record) {
    if (!filter_.Selects(db.path + u" #" + U16(std::to_string(record.index)))) return {};
    TLVARC_TRY(OpenDatabase());
    out_ << (first_record_ ? "\n" : ",\n") << RecordToJson(record).dump();
    first_record_ = false;
    ++records;
    return Good();
  }
  void DatabaseEnd() {
    if (db_open_) out_ << (first_record_ ? "]}" : "\n]}");
    db_open_ = false;
  }
  Status Finish() {
    if (!out_.is_open()) return {};
    out_ << (first_db_ ? "]}\n" : "\n]}\n");
    out_.close();
    return out_ ? Status() : Status::Io("cannot write " + dir_ + "/" + layout::kDatabases);
  }
  bool used() const { return out_.is_open() || !first_db_; }
  uint64_t records = 0;

 private:
  Status Good() { return out_ ? Status() : Status::Io("cannot write " + dir_ + "/" + layout::kDatabases); }

  Status OpenDatabase() {
    if (db_open_) return {};
    if (!out_.is_open()) {
      out_.open(dir_ + "/" + layout::kDatabases, std::ios::binary | std::ios::trunc);
      if (!out_) return Status::Io("cannot create " + dir_ + "/" + layout::kDatabases);
      json head;
      PutName(&head, "name", folder_);
      std::string text = head.dump();
      text.pop_back();  // the object stays open for the list that follows
      out_ << text << ",\"databases\":[";
    }
    std::string text = DatabaseToJson(db_name_, db_fields_).dump();
    text.pop_back();
    out_ << (first_db_ ? "\n" : ",\n") << text << ",\"records\":[";
    first_db_ = false;
    first_record_ = true;
    db_open_ = true;
    return Good();
  }

  std::string dir_;
  const PathFilter& filter_;
  std::ofstream out_;
  std::u16string folder_, db_name_;
  DatabaseFields db_fields_;
  bool db_open_ = false, first_db_ = true, first_record_ = true;
};

class ExtractVisitor : public RecordVisitor {
 public:
  ExtractVisitor(ArchiveFile* archive, int dir_fd, const std::string& dir, const PathFilter& filter)
      : archive_(archive), files_(dir_fd, dir, filter), registry_(dir, filter), databases_(dir, filter),
        bar_("extracting", archive->CodedSize()) {}

  Status Enter(const NodeInfo& node) override {
    switch (node.type) {
      case archive::kNodeRoot: root_name_ = node.name; return {};
      case archive::kNodeDirectory: Part(layout::kPartFiles); return files_.Enter(node);
      case archive::kNodeRegRoot: Part(layout::kPartRegistry); [[fallthrough]];
      case archive::kNodeRegKey: return registry_.Enter(node);
      case archive::kNodeDbFolder: Part(layout::kPartDatabases); databases_.Folder(node); return {};
      default: return {};
    }
  }
  Status Leave(const NodeInfo& node) override {
    if (node.type == archive::kNodeDirectory) return files_.Leave();
    if (node.type == archive::kNodeRegRoot || node.type == archive::kNodeRegKey) registry_.Leave();
    return {};
  }
  Status File(const NodeInfo& node, const FileFields& f, ContentReader& content) override {
    bar_.Update(archive_->CodedPosition());
    return files_.File(node, f, content);
  }
  Status RegValue(const NodeInfo& node, uint32_t type, const std::vector<uint8_t>& data) override {
    return registry_.Value(node, type, data);
  }
  Status Database(const NodeInfo& node, const DatabaseFields& f) override { return databases_.Database(node, f); }
  Status Record(const NodeInfo& db, const DbRecord& r) override { return databases_.Record(db, r); }
  Status DatabaseEnd(const NodeInfo&) override {
    databases_.DatabaseEnd();
    return {};
  }

  Status Finish(const std::string& dir) {
    TLVARC_TRY(databases_.Finish());
    const ArchiveHeader& h = archive_->Header();
    json parts = json::array();
    for (const std::string& part : parts_) {
      bool used = part == layout::kPartFiles ? files_.used() : part == layout::kPartRegistry ? registry_.used() : databases_.used();
      if (used) parts.push_back(part);
    }
    char version[16];
    std::snprintf(version, sizeof version, "0x%08X", unsigned(h.version));
    json info = {{"version", version}, {"parts", parts}};
    PutName(&info, "platform", h.platform);
    PutName(&info, "root", root_name_);
    std::ofstream out(dir + "/" + layout::kArchiveJson, std::ios::binary | std::ios::trunc);
    out << info.dump(2) << "\n";
    out.close();
    if (!out) return Status::Io("cannot write " + dir + "/" + layout::kArchiveJson);
    return {};
  }

  const FileTree& files() const { return files_; }
  const RegistryText& registry() const { return registry_; }
  const DatabaseText& databases() const { return databases_; }

 private:
  void Part(const char* name) {
    if (parts_.empty() || parts_.back() != name) parts_.push_back(name);
  }

  ArchiveFile* archive_;
  FileTree files_;
  RegistryText registry_;
  DatabaseText databases_;
  ProgressBar bar_;
  std::u16string root_name_;
  std::vector<std::string> parts_;
};

// DIR must be new or empty: extraction never mixes with what is there.
Status PrepareFolder(const std::string& dir, Fd* fd) {
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return Status::Io(ErrnoText("cannot create " + dir));
  *fd = Fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd->get() < 0) return Status::Io(ErrnoText("cannot open " + dir));
  int probe = ::dup(fd->get());
  DIR* listing = probe >= 0 ? ::fdopendir(probe) : nullptr;
  if (!listing) return Status::Io(ErrnoText("cannot read " + dir));
  bool empty = true;
  while (dirent* entry = ::readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) empty = false;
  }
  ::closedir(listing);
  if (!empty) return Status::Usage(dir + " is not empty; extract into a new or empty folder");
  return {};
}

}  // namespace

int RunExtract(const Args& args, CommandIo io) {
  Options options;
  Status parsed = options.Parse(args, {"--password", "--help"}, {});
  if (options.Has("--help")) return io.out << kHelp, 0;
  if (parsed.ok()) parsed = options.CountPositional(2, SIZE_MAX, "extract needs an archive and a folder");
  if (!parsed.ok()) return io.err << kHelp, Report(parsed, io);
  const std::string& dir = options.Positional()[1];

  ArchiveFile archive;
  Status status = archive.Open(options.Positional()[0]);
  if (status.ok()) status = CheckPassword(archive, options.Has("--password"));
  Fd dir_fd;
  if (status.ok()) status = PrepareFolder(dir, &dir_fd);
  if (!status.ok()) return Report(status, io);

  PathFilter filter(std::vector<std::string>(options.Positional().begin() + 2, options.Positional().end()));
  ExtractVisitor visitor(&archive, dir_fd.get(), dir, filter);
  status = RecordWalker(&archive).Walk(&visitor);
  if (status.ok()) status = visitor.Finish(dir);
  if (!status.ok()) return Report(status, io);
  for (const std::string& key : visitor.registry().inexact)
    io.err << "tlvarc: warning: the key " << key << " has a name that text cannot carry exactly\n";
  return 0;
}

}  // namespace tlvarc
