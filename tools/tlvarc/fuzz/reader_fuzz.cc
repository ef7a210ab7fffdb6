// libFuzzer target over the archive reader: the header, the record walker
// and everything extract and compare make of the records. Any input must end
// in a clean status: no crash, no hang, no undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "archive_file.h"
#include "db_json.h"
#include "fingerprint.h"
#include "record_walker.h"
#include "reg_file.h"

namespace {

class EveryUseVisitor : public tlvarc::FingerprintVisitor {
 public:
  EveryUseVisitor() : tlvarc::FingerprintVisitor([](const std::u16string&, const tlvarc::Fingerprint&) {}) {}
  tlvarc::Status RegValue(const tlvarc::NodeInfo& node, uint32_t type, const std::vector<uint8_t>& data) override {
    text_ << tlvarc::FormatRegData(type, data);
    return FingerprintVisitor::RegValue(node, type, data);
  }
  tlvarc::Status Record(const tlvarc::NodeInfo& db, const tlvarc::DbRecord& record) override {
    text_ << tlvarc::RecordToJson(record).dump();
    return FingerprintVisitor::Record(db, record);
  }

 private:
  std::ostringstream text_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tlvarc::ArchiveFile archive;
  if (!archive.OpenMemory(data, size, "input").ok()) return 0;
  archive.Header().PasswordSet();
  EveryUseVisitor visitor;
  tlvarc::RecordWalker(&archive).Walk(&visitor);
  return 0;
}
