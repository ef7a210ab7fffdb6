// tlvarc create: packs an extraction folder into an archive again. Packing
// what extract wrote gives back the original node stream byte for byte.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>

#include "archive_format.h"
#include "commands.h"
#include "db_json.h"
#include "db_json_reader.h"
#include "extract_layout.h"
#include "host_fd.h"
#include "host_stream.h"
#include "node_writer.h"
#include "presentation.h"
#include "reg_file.h"
#include "terminal.h"
#include "text.h"

namespace tlvarc {
namespace {

using nlohmann::json;

constexpr const char* kHelp =
    "usage: tlvarc create FILE --from DIR [--password] [--platform NAME]\n"
    "Packs a folder laid out as tlvarc extract writes it (archive.json,\n"
    "files/ with files.manifest, registry.reg, databases.json) into the archive\n"
    "FILE, replacing it only once the new archive is complete. Files keep the\n"
    "names, attributes and times of the manifest and take their content (and\n"
    "size) from files/; files not in the manifest are not packed.\n"
    "--platform sets the platform name (else the one in archive.json).\n"
    "--password asks for a password for the new archive (or takes\n"
    "TLVARC_PASSWORD without a terminal); without it the archive has none.\n"
    "Exit status: 0 written, 2 usage or I/O error (also a folder that is not\n"
    "laid out as extract writes it).\n";

// A host name from the manifest must stay one component inside files/.
bool IsSafeComponent(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

class Packer {
 public:
  Packer(const std::string& dir, NodeWriter* writer, HostWriteStream* out) : dir_(dir), w_(writer), out_(out) {}

  Status Files();
  Status Registry();
  Status Databases();

 private:
  Status Written(Status s) {
    if (!s.ok() && !out_->Error().empty()) return Status::Io(out_->Error());
    return s;
  }
  Status ManifestError(int line, const std::string& what) {
    return Status::Usage(dir_ + "/" + layout::kManifest + ":" + std::to_string(line) + ": " + what);
  }
  Status PackFile(int parent, const json& line, int number);

  std::string dir_;
  NodeWriter* w_;
  HostWriteStream* out_;
};

Status Packer::Files() {
  std::ifstream manifest(dir_ + "/" + layout::kManifest, std::ios::binary);
  if (!manifest) return Status::Io(ErrnoText("cannot open " + dir_ + "/" + layout::kManifest));
  std::vector<Fd> folders;
  std::string text;
  int number = 0;
  while (std::getline(manifest, text)) {
    ++number;
    if (text.empty()) continue;
    json line = json::parse(text, nullptr, false);
    if (line.is_discarded() || !line.is_object()) return ManifestError(number, "not a JSON object");
    if (line.contains("end")) {
      if (folders.empty()) return ManifestError(number, "an end without a folder");
      folders.pop_back();
      TLVARC_TRY(Written(w_->End()));
      continue;
    }
    std::string host = line.value("host", std::string());
    if (line.contains("folder")) {
      std::u16string name;
      Status named = GetName(line, "folder", &name);
      if (!named.ok()) return ManifestError(number, named.message());
      int fd;
      if (folders.empty()) {
        fd = ::open((dir_ + "/" + layout::kFilesDir).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      } else {
        if (!IsSafeComponent(host)) return ManifestError(number, "the host name \"" + host + "\" is not one name");
        fd = ::openat(folders.back().get(), host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      }
      if (fd < 0) return ManifestError(number, ErrnoText("cannot open the folder for " + Utf8(name)));
      folders.emplace_back(fd);
      TLVARC_TRY(Written(w_->Container(archive::kNodeDirectory, name)));
      continue;
    }
    if (!line.contains("file")) return ManifestError(number, "neither a folder, a file nor an end");
    if (folders.empty()) return ManifestError(number, "a file outside every folder");
    TLVARC_TRY(PackFile(folders.back().get(), line, number));
  }
  if (!folders.empty()) return ManifestError(number, "the manifest ends inside a folder");
  return {};
}

Status Packer::PackFile(int parent, const json& line, int number) {
  std::u16string name;
  Status named = GetName(line, "file", &name);
  if (!named.ok()) return ManifestError(number, named.message());
  std::string host = line.value("host", std::string());
  if (!IsSafeComponent(host)) return ManifestError(number, "the host name \"" + host + "\" is not one name");
  Fd fd(::openat(parent, host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return ManifestError(number, ErrnoText("cannot open the file for " + Utf8(name)));
  if (!S_ISREG(st.st_mode)) return ManifestError(number, Utf8(name) + " is not a plain file");
  if (uint64_t(st.st_size) > 0xFFFFFFFFull) return ManifestError(number, Utf8(name) + " is 4 GiB or larger; an archive cannot hold it");
  FileFields f;
  try {
    f.attributes = line.at("attributes").get<uint32_t>();
    f.creation = archive::FileTime::FromTicks(line.at("created").get<uint64_t>());
    f.access = archive::FileTime::FromTicks(line.at("accessed").get<uint64_t>());
    f.write = archive::FileTime::FromTicks(line.at("modified").get<uint64_t>());
  } catch (const json::exception&) {
    return ManifestError(number, "a file needs attributes, created, accessed and modified as numbers");
  }
  f.size = uint32_t(st.st_size);
  TLVARC_TRY(Written(w_->FileHeader(name, f)));
  static thread_local std::vector<uint8_t> buffer(1 << 20);
  uint64_t left = f.size;
  while (left > 0) {
    ssize_t n = ::read(fd.get(), buffer.data(), std::min<uint64_t>(left, buffer.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ManifestError(number, n < 0 ? ErrnoText("cannot read " + host) : host + " shrank while it was packed");
    TLVARC_TRY(Written(w_->Content(buffer.data(), size_t(n))));
    left -= uint64_t(n);
  }
  return {};
}

// Key headers may come back to a key on the current path (its values after
// a subkey); a new key must follow its parent.
Status Packer::Registry() {
  RegFileReader reader;
  TLVARC_TRY(reader.Open(dir_ + "/" + layout::kRegistry));
  std::vector<std::u16string> keys;
  bool pending = false;
  std::u16string pending_class;
  auto flush = [&]() -> Status {
    if (!pending) return {};
    pending = false;
    int32_t type = keys.size() == 1 ? archive::kNodeRegRoot : archive::kNodeRegKey;
    return Written(w_->Key(type, keys.back(), pending_class));
  };
  auto pop_to = [&](size_t depth) -> Status {
    TLVARC_TRY(flush());
    while (keys.size() > depth) {
      keys.pop_back();
      TLVARC_TRY(Written(w_->End()));
    }
    return {};
  };
  RegLine line;
  for (;;) {
    bool got = false;
    TLVARC_TRY(reader.Next(&line, &got));
    if (!got) break;
    switch (line.kind) {
      case RegLine::kKey: {
        size_t common = 0;
        while (common < keys.size() && common < line.path.size() && keys[common] == line.path[common]) ++common;
        if (line.path.size() > common + 1)
          return Status::Usage(dir_ + "/" + layout::kRegistry + ": the key " + Utf8(line.path.back()) + " comes before its parent");
        TLVARC_TRY(pop_to(common));
        if (line.path.size() == common + 1) {
          keys.push_back(line.path.back());
          pending = true;
          pending_class.clear();
        }
        break;
      }
      case RegLine::kClass:
        if (!pending) return Status::Usage(dir_ + "/" + layout::kRegistry + ": a class line must follow its key's first header");
        pending_class = line.text;
        break;
      case RegLine::kValue:
        if (keys.empty()) return Status::Usage(dir_ + "/" + layout::kRegistry + ": a value before any key");
        TLVARC_TRY(flush());
        TLVARC_TRY(Written(w_->Value(line.text, line.type, line.data)));
        break;
    }
  }
  return pop_to(0);
}

// Streamed: a device may hold many records, and only one is in memory at a time.
Status Packer::Databases() {
  std::ifstream in(dir_ + "/" + layout::kDatabases, std::ios::binary);
  if (!in) return Status::Io(ErrnoText("cannot open " + dir_ + "/" + layout::kDatabases));
  DatabaseJsonEvents events;
  events.folder = [&](const json& folder) -> Status {
    std::u16string name;
    TLVARC_TRY(GetName(folder, "name", &name));
    return Written(w_->Container(archive::kNodeDbFolder, name));
  };
  events.database = [&](const json& db) -> Status {
    std::u16string name;
    DatabaseFields fields;
    TLVARC_TRY(DatabaseFromJson(db, &name, &fields));
    return Written(w_->Database(name, fields));
  };
  events.record = [&](const json& record) -> Status {
    uint16_t count = 0;
    std::vector<uint8_t> buffer;
    TLVARC_TRY(RecordFromJson(record, &count, &buffer));
    return Written(w_->Record(count, buffer));
  };
  events.database_end = [&]() { return Written(w_->DatabaseEnd()); };
  TLVARC_TRY(ReadDatabaseJson(in, dir_ + "/" + layout::kDatabases, events));
  return Written(w_->End());
}

Status Create(const Options& options, const std::string& file, const std::string& dir) {
  std::ifstream info_in(dir + "/" + layout::kArchiveJson, std::ios::binary);
  if (!info_in) return Status::Io(ErrnoText("cannot open " + dir + "/" + layout::kArchiveJson));
  json info = json::parse(info_in, nullptr, false);
  if (info.is_discarded() || !info.is_object()) return Status::Usage(dir + "/" + layout::kArchiveJson + " is not a JSON object");
  std::u16string platform, root;
  if (options.Has("--platform")) {
    if (!FromUtf8(options.Value("--platform"), &platform)) return Status::Usage("--platform is not UTF-8 text");
  } else {
    TLVARC_TRY(GetName(info, "platform", &platform));
  }
  if (info.contains("root")) TLVARC_TRY(GetName(info, "root", &root));
  std::u16string password;
  if (options.Has("--password")) TLVARC_TRY(AskPassword("Password for " + file, kPasswordEnv, &password));

  HostWriteStream out;
  TLVARC_TRY(out.Create(file));
  TLVARC_TRY(WriteArchiveHeader(&out, platform, password));
  NodeWriter writer(&out);
  Packer packer(dir, &writer, &out);
  TLVARC_TRY(writer.Container(archive::kNodeRoot, root));
  for (const json& part : info.value("parts", json::array())) {
    std::string name = part.is_string() ? part.get<std::string>() : "";
    if (name == layout::kPartFiles) {
      TLVARC_TRY(packer.Files());
    } else if (name == layout::kPartRegistry) {
      TLVARC_TRY(packer.Registry());
    } else if (name == layout::kPartDatabases) {
      TLVARC_TRY(packer.Databases());
    } else {
      return Status::Usage(dir + "/" + layout::kArchiveJson + ": unknown part " + part.dump());
    }
  }
  TLVARC_TRY(writer.End());
  TLVARC_TRY(writer.Finish());
  return out.Commit();
}

}  // namespace

int RunCreate(const Args& args, CommandIo io) {
  Options options;
  Status parsed = options.Parse(args, {"--password", "--help"}, {"--from", "--platform"});
  if (options.Has("--help")) return io.out << kHelp, 0;
  if (parsed.ok()) parsed = options.CountPositional(1, 1, "create needs an archive and --from DIR");
  if (parsed.ok() && !options.Has("--from")) parsed = Status::Usage("create needs --from DIR");
  if (!parsed.ok()) return io.err << kHelp, Report(parsed, io);
  return Report(Create(options, options.Positional()[0], options.Value("--from")), io);
}

}  // namespace tlvarc
