#include "record_walker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ce/database.h"
#include "records.h"
#include "text.h"
#include "wide_text.h"

namespace tlvarc {

using namespace archive;

namespace {

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", unsigned(value));
  return text;
}

const char* KindName(LONG type) {
  switch (type) {
    case kNodeRoot: return "root";
    case kNodeDirectory: return "folder";
    case kNodeFile: return "file";
    case kNodeRegRoot: return "registry root";
    case kNodeRegKey: return "registry key";
    case kNodeRegValue: return "registry value";
    case kNodeDbFolder: return "database folder";
    case kNodeDatabase: return "database";
    default: return "record";
  }
}

bool IsKnown(DWORD type) {
  switch (LONG(type)) {
    case kNodeRoot: case kNodeDirectory: case kNodeFile: case kNodeRegRoot: case kNodeRegKey:
    case kNodeRegValue: case kNodeDbFolder: case kNodeDatabase:
      return true;
    default:
      return false;
  }
}

// Which record may stand inside which container: the nesting the writer
// produces, and the only one for which the device paths mean anything.
bool MayHold(LONG parent, LONG child) {
  switch (parent) {
    case kNodeRoot: return child == kNodeDirectory || child == kNodeRegRoot || child == kNodeDbFolder;
    case kNodeDirectory: return child == kNodeDirectory || child == kNodeFile;
    case kNodeRegRoot:
    case kNodeRegKey: return child == kNodeRegKey || child == kNodeRegValue;
    case kNodeDbFolder: return child == kNodeDatabase;
    default: return false;
  }
}

const char16_t* const kRegRoots[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};

std::u16string ChildPath(const NodeInfo& parent, LONG type, const std::u16string& name) {
  switch (type) {
    case kNodeDirectory:
      if (parent.type == kNodeRoot) return name;
      [[fallthrough]];
    case kNodeFile: {
      std::u16string path = parent.path;
      if (path.empty() || path.back() != u'\\') path += u'\\';
      return path + name;
    }
    case kNodeRegRoot:
    case kNodeDbFolder:
      return name;
    case kNodeRegValue:
      return parent.path + u'\\' + (name.empty() ? u"@" : name);
    default:
      return parent.path + u'\\' + name;
  }
}

bool HasUnit(const std::u16string& text, char16_t unit) { return text.find(unit) != std::u16string::npos; }

// What is wrong with the name of a new record, or "" when nothing.
std::string NameProblem(const NodeInfo& parent, const NodeInfo& node) {
  const std::u16string& name = node.name;
  switch (node.type) {
    case kNodeDirectory:
      if (parent.type == kNodeRoot) return name == u"\\" ? "" : "the top folder must be named \\";
      [[fallthrough]];
    case kNodeFile:
      if (name.empty()) return "empty name";
      if (name == u"." || name == u"..") return "the name " + Utf8(name) + " is not a file name";
      if (HasUnit(name, u'\\') || HasUnit(name, u'/') || HasUnit(name, 0)) return "the name holds a path separator";
      if (node.path.size() > kMaxPathUnits) return "path longer than " + std::to_string(kMaxPathUnits) + " characters";
      return "";
    case kNodeRegRoot:
      for (const char16_t* root : kRegRoots)
        if (WideEqualNoCase(name.c_str(), root)) return "";
      return "not a registry root";
    case kNodeRegKey:
      if (name.empty()) return "empty key name";
      if (HasUnit(name, u'\\') || HasUnit(name, 0)) return "the key name holds a backslash";
      [[fallthrough]];
    case kNodeRegValue:
      if (name.size() > kMaxPathUnits) return "name longer than " + std::to_string(kMaxPathUnits) + " characters";
      return "";
    case kNodeDatabase:
      if (name.empty()) return "empty database name";
      if (name.size() > kMaxDatabaseNameUnits)
        return "database name longer than " + std::to_string(kMaxDatabaseNameUnits) + " characters";
      return "";
    default:
      return "";
  }
}

DWORD Le32(const BYTE* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }

// Every string and blob of a record must lie inside its buffer.
std::string PropertyProblem(const DbRecord& record) {
  const std::vector<BYTE>& b = record.buffer;
  for (WORD i = 0; i < record.property_count; ++i) {
    const BYTE* entry = b.data() + size_t(i) * sizeof(CEPROPVAL);
    WORD type = WORD(Le32(entry));
    std::string which = "property " + std::to_string(i + 1);
    switch (type) {
      case CEVT_I2: case CEVT_I4: case CEVT_R8: case CEVT_BOOL: case CEVT_UI2: case CEVT_UI4: case CEVT_FILETIME:
        break;
      case CEVT_LPWSTR: {
        uint64_t at = Le32(entry + 8);
        bool ended = false;
        for (; at + 2 <= b.size(); at += 2) {
          if (b[at] == 0 && b[at + 1] == 0) {
            ended = true;
            break;
          }
        }
        if (!ended) return which + ": its string runs past the end of the record";
        break;
      }
      case CEVT_BLOB: {
        uint64_t length = Le32(entry + 8), at = Le32(entry + 12);
        if (at + length > b.size()) return which + ": its blob runs past the end of the record";
        break;
      }
      default:
        return which + " has the unknown value type " + std::to_string(type);
    }
  }
  return "";
}

}  // namespace

Status DamageAt(const std::u16string& path, uint64_t offset, const std::string& what) {
  std::string where = path.empty() ? "the root" : Utf8(path);
  return Status::Damaged(where + " (decoded offset " + std::to_string(offset) + "): " + what);
}

Status ContentReader::Read(void* buffer, size_t capacity, size_t* got) {
  *got = 0;
  size_t take = capacity < left_ ? capacity : size_t(left_);
  if (take > (1u << 30)) take = 1u << 30;
  if (take == 0) return {};
  uint64_t at = archive_->DecodedOffset();
  LONG done = 0;
  if (!archive_->Nodes()->Read(buffer, LONG(take), &done) || done != LONG(take)) {
    if (!archive_->HostError().empty()) return Status::Io(archive_->HostError());
    return DamageAt(node_.path, at, "the archive ends inside the file's content");
  }
  left_ -= take;
  *got = take;
  return {};
}

Status ContentReader::Skip() {
  static thread_local std::vector<BYTE> scratch(1 << 16);
  while (left_ > 0) {
    size_t got = 0;
    TLVARC_TRY(Read(scratch.data(), scratch.size(), &got));
  }
  return {};
}

Status RecordWalker::ReadRaw(const NodeInfo& node, const char* field, void* buffer, size_t size) {
  uint64_t at = archive_->DecodedOffset();
  LONG done = 0;
  if (size == 0) return {};
  if (!archive_->Nodes()->Read(buffer, LONG(size), &done) || done != LONG(size)) {
    if (!archive_->HostError().empty()) return Status::Io(archive_->HostError());
    return DamageAt(node.path, at, std::string("the archive ends inside the ") + field);
  }
  return {};
}

// A declared length is only a claim: the buffer grows with the bytes that
// really arrive, so a hostile length costs no more than the archive holds.
Status RecordWalker::ReadGrowing(const NodeInfo& node, const char* field, size_t size, std::vector<BYTE>* out) {
  constexpr size_t kPiece = 64 * 1024;
  out->clear();
  while (out->size() < size) {
    size_t piece = std::min(kPiece, size - out->size());
    out->resize(out->size() + piece);
    TLVARC_TRY(ReadRaw(node, field, out->data() + out->size() - piece, piece));
  }
  return {};
}

Status RecordWalker::ReadU16(const NodeInfo& node, const char* field, WORD* value) {
  BYTE b[2];
  TLVARC_TRY(ReadRaw(node, field, b, 2));
  *value = WORD(b[0] | b[1] << 8);
  return {};
}

Status RecordWalker::ReadU32(const NodeInfo& node, const char* field, DWORD* value) {
  BYTE b[4];
  TLVARC_TRY(ReadRaw(node, field, b, 4));
  *value = Le32(b);
  return {};
}

Status RecordWalker::ReadText(const NodeInfo& node, const char* field, std::u16string* text) {
  // The engine's ReadString holds the one definition of the counted string.
  uint64_t at = archive_->DecodedOffset();
  LPWSTR read = ::ReadString(archive_->Nodes());
  if (!read) {
    if (!archive_->HostError().empty()) return Status::Io(archive_->HostError());
    return DamageAt(node.path, at, std::string("the archive ends inside the ") + field);
  }
  // The count, not the terminator, gives the length: a unit 0 inside the
  // name is kept so the name checks can refuse it.
  uint64_t units = (archive_->DecodedOffset() - at - 2) / 2;
  text->assign(read, size_t(units));
  FreeString(read);
  return {};
}

Status RecordWalker::Walk(RecordVisitor* visitor) {
  NodeInfo root;
  root.type = kNodeRoot;
  DWORD type = 0;
  TLVARC_TRY(ReadU32(root, "root's type code", &type));
  if (type != DWORD(kNodeRoot)) return DamageAt(u"", 0, "the first record is not the root (type code " + Hex(type) + ")");
  TLVARC_TRY(ReadText(root, "root's name", &root.name));
  TLVARC_TRY(visitor->Enter(root));
  std::vector<NodeInfo> stack;
  stack.reserve(kMaxDepth + 2);
  stack.push_back(std::move(root));
  while (!stack.empty()) TLVARC_TRY(ReadRecord(stack.back(), visitor, &stack));
  return CheckTrailer(archive_->DecodedOffset());
}

Status RecordWalker::ReadRecord(const NodeInfo& parent, RecordVisitor* visitor, std::vector<NodeInfo>* stack) {
  NodeInfo node;
  node.offset = archive_->DecodedOffset();
  node.depth = parent.depth + 1;
  DWORD type = 0;
  {
    LONG done = 0;
    BYTE b[4];
    if (!archive_->Nodes()->Read(b, 4, &done) || done != 4) {
      if (!archive_->HostError().empty()) return Status::Io(archive_->HostError());
      return DamageAt(parent.path, node.offset, std::string("the archive ends before the ") + KindName(parent.type) + " is closed");
    }
    type = Le32(b);
  }
  if (LONG(type) == kNodeEnd) {
    TLVARC_TRY(visitor->Leave(parent));
    stack->pop_back();
    return {};
  }
  if (!IsKnown(type)) return DamageAt(parent.path, node.offset, "unknown type code " + Hex(type));
  node.type = LONG(type);
  if (!MayHold(parent.type, node.type))
    return DamageAt(parent.path, node.offset, std::string("a ") + KindName(node.type) + " record cannot stand in a " + KindName(parent.type));
  if (node.depth > kMaxDepth) return DamageAt(parent.path, node.offset, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
  TLVARC_TRY(ReadText(parent, (std::string(KindName(node.type)) + "'s name").c_str(), &node.name));
  node.path = ChildPath(parent, node.type, node.name);
  std::string problem = NameProblem(parent, node);
  if (!problem.empty()) return DamageAt(node.path, node.offset, problem);

  switch (node.type) {
    case kNodeFile: return ReadFile(node, visitor);
    case kNodeRegValue: return ReadValue(node, visitor);
    case kNodeDatabase: return ReadDatabase(node, visitor);
    default: break;
  }
  if (node.type == kNodeRegRoot || node.type == kNodeRegKey) TLVARC_TRY(ReadText(node, "class name", &node.class_name));
  TLVARC_TRY(visitor->Enter(node));
  stack->push_back(std::move(node));  // last: `parent` refers into the stack
  return {};
}

Status RecordWalker::ReadFile(NodeInfo& node, RecordVisitor* visitor) {
  DWORD f[8];
  for (DWORD& v : f) TLVARC_TRY(ReadU32(node, "file's fields", &v));
  FileFields fields;
  fields.attributes = f[0];
  fields.creation = {f[1], f[2]};
  fields.access = {f[3], f[4]};
  fields.write = {f[5], f[6]};
  fields.size = f[7];
  ContentReader content(archive_, node, fields.size);
  TLVARC_TRY(visitor->File(node, fields, content));
  return content.Skip();
}

Status RecordWalker::ReadValue(NodeInfo& node, RecordVisitor* visitor) {
  DWORD type = 0, length = 0;
  TLVARC_TRY(ReadU32(node, "value's type", &type));
  TLVARC_TRY(ReadU32(node, "value's length", &length));
  if (length > kMaxValueBytes)
    return DamageAt(node.path, node.offset, "a value of " + std::to_string(length) + " bytes is larger than any registry value");
  std::vector<BYTE> data;
  TLVARC_TRY(ReadGrowing(node, "value's data", length, &data));
  return visitor->RegValue(node, type, data);
}

Status RecordWalker::ReadDatabase(NodeInfo& node, RecordVisitor* visitor) {
  DatabaseFields fields;
  WORD sorts = 0;
  TLVARC_TRY(ReadU32(node, "database type", &fields.type));
  TLVARC_TRY(ReadU16(node, "sort order count", &sorts));
  if (sorts > CEDB_MAXSORTORDER)
    return DamageAt(node.path, node.offset, std::to_string(sorts) + " sort orders (a database has at most " + std::to_string(CEDB_MAXSORTORDER) + ")");
  for (WORD i = 0; i < sorts; ++i) {
    SortOrder s;
    TLVARC_TRY(ReadU32(node, "sort orders", &s.propid));
    TLVARC_TRY(ReadU32(node, "sort orders", &s.flags));
    fields.sorts.push_back(s);
  }
  TLVARC_TRY(visitor->Database(node, fields));
  DbRecord record;
  for (uint32_t index = 1;; ++index) {
    WORD count = 0;
    TLVARC_TRY(ReadU16(node, "record list", &count));
    if (count == 0) return visitor->DatabaseEnd(node);
    TLVARC_TRY(ReadDbRecord(node, index, count, &record));
    TLVARC_TRY(visitor->Record(node, record));
  }
}

Status RecordWalker::ReadDbRecord(const NodeInfo& db, uint32_t index, WORD count, DbRecord* record) {
  uint64_t at = archive_->DecodedOffset() - 2;
  std::u16string where = db.path + u" #" + U16(std::to_string(index));
  DWORD size = 0;
  NodeInfo context = db;
  context.path = where;
  TLVARC_TRY(ReadU32(context, "record's size", &size));
  if (size > kMaxRecordBytes) return DamageAt(where, at, "a record of " + std::to_string(size) + " bytes is larger than any record");
  if (uint64_t(size) < uint64_t(count) * sizeof(CEPROPVAL))
    return DamageAt(where, at, "a buffer of " + std::to_string(size) + " bytes cannot hold " + std::to_string(count) + " properties");
  record->index = index;
  record->property_count = count;
  TLVARC_TRY(ReadGrowing(context, "record's properties", size, &record->buffer));
  std::string problem = PropertyProblem(*record);
  if (!problem.empty()) return DamageAt(where, at, problem);
  return {};
}

Status RecordWalker::CheckTrailer(uint64_t end_offset) {
  bool coded_at_end = archive_->CodedAtEnd();
  BYTE extra = 0;
  LONG got = 0;
  if (archive_->Nodes()->Read(&extra, 1, &got) && got == 1)
    return DamageAt(u"", end_offset, "data follows the end of the root");
  if (!archive_->HostError().empty()) return Status::Io(archive_->HostError());
  if (!coded_at_end) return DamageAt(u"", end_offset, "an incomplete packet follows the end of the root");
  return {};
}

}  // namespace tlvarc
