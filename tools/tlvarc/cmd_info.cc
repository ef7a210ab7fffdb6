// tlvarc info: what an archive holds, in numbers.
#include <nlohmann/json.hpp>
#include <ostream>

#include "archive_file.h"
#include "commands.h"
#include "record_walker.h"
#include "terminal.h"
#include "text.h"

namespace tlvarc {
namespace {

constexpr const char* kHelp =
    "usage: tlvarc info FILE [--json]\n"
    "Shows the archive's format version, platform name, whether a password is\n"
    "set, whether it holds only the registry, and how many folders, files,\n"
    "bytes of file content, registry keys and values, databases and records\n"
    "it holds, with its coded and decoded size.\n"
    "Exit status: 0 shown, 1 damaged header, 2 usage or I/O error.\n";

class CountingVisitor : public RecordVisitor {
 public:
  explicit CountingVisitor(ArchiveFile* archive) : archive_(archive), bar_("reading", archive->CodedSize()) {}

  Status Enter(const NodeInfo& node) override {
    switch (node.type) {
      case archive::kNodeDirectory: ++folders; break;
      case archive::kNodeRegRoot:
      case archive::kNodeRegKey: ++keys; break;
      case archive::kNodeDbFolder: has_databases = true; break;
      default: break;
    }
    if (node.type == archive::kNodeDirectory && node.depth == 1) has_files = true;
    return {};
  }
  Status File(const NodeInfo&, const FileFields& f, ContentReader&) override {
    ++files;
    file_bytes += f.size;
    bar_.Update(archive_->CodedPosition());
    return {};
  }
  Status RegValue(const NodeInfo&, uint32_t, const std::vector<uint8_t>&) override {
    ++values;
    return {};
  }
  Status Database(const NodeInfo&, const DatabaseFields&) override {
    ++databases;
    return {};
  }
  Status Record(const NodeInfo&, const DbRecord&) override {
    ++records;
    return {};
  }

  uint64_t folders = 0, files = 0, file_bytes = 0, keys = 0, values = 0, databases = 0, records = 0;
  bool has_files = false, has_databases = false;

 private:
  ArchiveFile* archive_;
  ProgressBar bar_;
};

std::string VersionText(uint32_t version) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(version));
  return text;
}

std::string PasswordText(const ArchiveHeader& h) {
  if (!h.has_password_block) return "none (older format)";
  return h.PasswordSet() ? "set" : "not set";
}

}  // namespace

int RunInfo(const Args& args, CommandIo io) {
  Options options;
  Status parsed = options.Parse(args, {"--json", "--help"}, {});
  if (options.Has("--help")) return io.out << kHelp, 0;
  if (parsed.ok()) parsed = options.CountPositional(1, 1, "info needs exactly one archive");
  if (!parsed.ok()) return io.err << kHelp, Report(parsed, io);

  ArchiveFile archive;
  Status status = archive.Open(options.Positional()[0]);
  if (!status.ok()) return Report(status, io);
  CountingVisitor counts(&archive);
  status = RecordWalker(&archive).Walk(&counts);
  if (!status.ok()) return Report(status, io);

  const ArchiveHeader& h = archive.Header();
  bool registry_only = !counts.has_files && !counts.has_databases;
  uint64_t decoded = archive.DecodedOffset();
  if (options.Has("--json")) {
    nlohmann::json j = {{"archive", options.Positional()[0]},
                        {"version", VersionText(h.version)},
                        {"platform", Utf8(h.platform)},
                        {"password", h.PasswordSet()},
                        {"registryOnly", registry_only},
                        {"folders", counts.folders},
                        {"files", counts.files},
                        {"fileBytes", counts.file_bytes},
                        {"registryKeys", counts.keys},
                        {"registryValues", counts.values},
                        {"databases", counts.databases},
                        {"records", counts.records},
                        {"codedSize", archive.CodedSize()},
                        {"decodedSize", decoded}};
    io.out << j.dump(2) << "\n";
    return 0;
  }
  io.out << "archive:          " << options.Positional()[0] << "\n"
         << "version:          " << VersionText(h.version) << "\n"
         << "platform:         " << Utf8(h.platform) << "\n"
         << "password:         " << PasswordText(h) << "\n"
         << "kind:             " << (registry_only ? "registry-only archive" : "data archive") << "\n"
         << "folders:          " << counts.folders << "\n"
         << "files:            " << counts.files << "\n"
         << "file bytes:       " << counts.file_bytes << "\n"
         << "registry keys:    " << counts.keys << "\n"
         << "registry values:  " << counts.values << "\n"
         << "databases:        " << counts.databases << "\n"
         << "records:          " << counts.records << "\n"
         << "coded size:       " << archive.CodedSize() << " bytes\n"
         << "decoded size:     " << decoded << " bytes\n";
  return 0;
}

}  // namespace tlvarc
