#include "record_walker.h"

#include <algorithm>

#include "node_rules.h"
#include "primitives.h"
#include "property_buffer.h"
#include "text.h"

namespace tlvarc {

using namespace archive;

namespace {

std::u16string ChildPath(const NodeInfo& parent, int32_t type, const std::u16string& name) {
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

// The name of a new record, and for folders and files the device path it names.
Result NameProblem(const NodeInfo& parent, const NodeInfo& node) {
  Result named = CheckName(parent.type, node.type, node.name);
  if (!named.ok()) return named;
  if (node.type == kNodeDirectory || node.type == kNodeFile) return CheckPathLength(node.type, node.path.size());
  return Ok();
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
  int32_t done = 0;
  if (!archive_->Nodes()->Read(buffer, int32_t(take), &done) || done != int32_t(take)) {
    if (!archive_->HostError().empty()) return Status::Io(archive_->HostError());
    return DamageAt(node_.path, at, Describe(Ended(Field::kFileContent, kNodeFile)));
  }
  left_ -= take;
  *got = take;
  return {};
}

Status ContentReader::Skip() {
  static thread_local std::vector<uint8_t> scratch(1 << 16);
  while (left_ > 0) {
    size_t got = 0;
    TLVARC_TRY(Read(scratch.data(), scratch.size(), &got));
  }
  return {};
}

Status RecordWalker::Checked(const Result& result, const std::u16string& path, uint64_t offset) {
  if (result.ok()) return {};
  if (!archive_->HostError().empty()) return Status::Io(archive_->HostError());
  return DamageAt(path, offset, Describe(result));
}

Status RecordWalker::ReadText(Field field, int32_t kind, const std::u16string& path, std::u16string* text) {
  uint64_t at = archive_->DecodedOffset();
  uint16_t length = 0;
  TLVARC_TRY(Checked(ReadTextLength(archive_->Nodes(), field, kind, &length), path, at));
  text->assign(length, u'\0');
  return Checked(ReadTextUnits(archive_->Nodes(), field, kind, text->data(), length), path, at);
}

// A declared length is only a claim: the buffer grows with the bytes that
// really arrive, so a hostile length costs no more than the archive holds.
Status RecordWalker::ReadGrowing(const NodeInfo& node, Field field, size_t size, std::vector<uint8_t>* out) {
  constexpr size_t kPiece = 64 * 1024;
  out->clear();
  uint64_t at = archive_->DecodedOffset();
  while (out->size() < size) {
    size_t piece = std::min(kPiece, size - out->size());
    out->resize(out->size() + piece);
    bool whole = GetBytes(archive_->Nodes(), out->data() + out->size() - piece, int32_t(piece));
    TLVARC_TRY(Checked(whole ? Ok() : Ended(field, node.type), node.path, at));
  }
  return {};
}

Status RecordWalker::Walk(RecordVisitor* visitor) {
  NodeInfo root;
  root.type = kNodeRoot;
  uint32_t type = 0;
  TLVARC_TRY(Checked(ReadTypeCode(archive_->Nodes(), Field::kTypeCode, kNodeRoot, &type), u"", 0));
  TLVARC_TRY(Checked(CheckFirstRecord(type), u"", 0));
  TLVARC_TRY(ReadText(Field::kName, kNodeRoot, u"", &root.name));
  TLVARC_TRY(visitor->Enter(root));
  std::vector<NodeInfo> stack;
  stack.reserve(kMaxDepth + 2);
  stack.push_back(std::move(root));
  while (!stack.empty()) TLVARC_TRY(ReadRecord(stack.back(), visitor, &stack));
  uint64_t end = archive_->DecodedOffset();
  return Checked(archive_->CheckEnd(), u"", end);
}

Status RecordWalker::ReadRecord(const NodeInfo& parent, RecordVisitor* visitor, std::vector<NodeInfo>* stack) {
  NodeInfo node;
  node.offset = archive_->DecodedOffset();
  node.depth = parent.depth + 1;
  uint32_t type = 0;
  TLVARC_TRY(Checked(ReadTypeCode(archive_->Nodes(), Field::kChildTypeCode, parent.type, &type), parent.path, node.offset));
  if (int32_t(type) == kNodeEnd) {
    TLVARC_TRY(visitor->Leave(parent));
    stack->pop_back();
    return {};
  }
  TLVARC_TRY(Checked(CheckPlacement(parent.type, type, node.depth), parent.path, node.offset));
  node.type = int32_t(type);
  TLVARC_TRY(ReadText(Field::kName, node.type, parent.path, &node.name));
  node.path = ChildPath(parent, node.type, node.name);
  TLVARC_TRY(Checked(NameProblem(parent, node), node.path, node.offset));

  switch (node.type) {
    case kNodeFile: return ReadFile(node, visitor);
    case kNodeRegValue: return ReadValue(node, visitor);
    case kNodeDatabase: return ReadDatabase(node, visitor);
    default: break;
  }
  if (node.type == kNodeRegRoot || node.type == kNodeRegKey) {
    TLVARC_TRY(ReadText(Field::kClassName, node.type, node.path, &node.class_name));
    TLVARC_TRY(Checked(CheckClassName(node.class_name), node.path, node.offset));
  }
  TLVARC_TRY(visitor->Enter(node));
  stack->push_back(std::move(node));  // last: `parent` refers into the stack
  return {};
}

Status RecordWalker::ReadFile(NodeInfo& node, RecordVisitor* visitor) {
  FileFields fields;
  uint64_t at = archive_->DecodedOffset();
  TLVARC_TRY(Checked(ReadFileFields(archive_->Nodes(), &fields), node.path, at));
  ContentReader content(archive_, node, fields.size);
  TLVARC_TRY(visitor->File(node, fields, content));
  return content.Skip();
}

Status RecordWalker::ReadValue(NodeInfo& node, RecordVisitor* visitor) {
  ValueHeader header;
  uint64_t at = archive_->DecodedOffset();
  TLVARC_TRY(Checked(ReadValueHeader(archive_->Nodes(), &header), node.path, at));
  std::vector<uint8_t> data;
  TLVARC_TRY(ReadGrowing(node, Field::kValueData, header.length, &data));
  return visitor->RegValue(node, header.type, data);
}

Status RecordWalker::ReadDatabase(NodeInfo& node, RecordVisitor* visitor) {
  DatabaseFields fields;
  uint64_t at = archive_->DecodedOffset();
  TLVARC_TRY(Checked(ReadDatabaseFields(archive_->Nodes(), &fields), node.path, at));
  TLVARC_TRY(visitor->Database(node, fields));
  DbRecord record;
  for (uint32_t index = 1;; ++index) {
    uint16_t count = 0;
    at = archive_->DecodedOffset();
    TLVARC_TRY(Checked(ReadRecordCount(archive_->Nodes(), &count), node.path, at));
    if (count == 0) return visitor->DatabaseEnd(node);
    TLVARC_TRY(ReadDbRecord(node, index, count, &record));
    TLVARC_TRY(visitor->Record(node, record));
  }
}

Status RecordWalker::ReadDbRecord(const NodeInfo& db, uint32_t index, uint16_t count, DbRecord* record) {
  uint64_t at = archive_->DecodedOffset() - 2;
  NodeInfo context = db;
  context.path = db.path + u" #" + U16(std::to_string(index));
  uint32_t size = 0;
  TLVARC_TRY(Checked(ReadRecordSize(archive_->Nodes(), count, &size), context.path, at));
  record->index = index;
  record->property_count = count;
  TLVARC_TRY(ReadGrowing(context, Field::kRecordProperties, size, &record->buffer));
  return Checked(CheckPropertyBuffer(record->buffer.data(), size, count), context.path, at);
}

}  // namespace tlvarc
