#include "database_record.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "local_alloc.h"
#include "wstr.h"

namespace cedev {
namespace {

constexpr size_t kEntrySize = sizeof(CEPROPVAL);

size_t Align4(size_t n) { return (n + 3) & ~size_t{3}; }

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

const Property* FindProperty(const Record& record, CEPROPID propid) {
  for (const auto& p : record) {
    if (p.propid == propid) return &p;
  }
  return nullptr;
}

// The properties a layout holds, in order; null entries are "not found".
std::vector<std::pair<CEPROPID, const Property*>> Selection(const Record& record, const CEPROPID* wanted,
                                                            size_t wanted_count) {
  std::vector<std::pair<CEPROPID, const Property*>> out;
  if (!wanted) {
    for (const auto& p : record) out.emplace_back(p.propid, &p);
  } else {
    for (size_t i = 0; i < wanted_count; ++i) out.emplace_back(wanted[i], FindProperty(record, wanted[i]));
  }
  return out;
}

// How many bytes of the 8-byte value a fixed-size type uses; the rest is kept zero.
size_t FixedWidth(WORD type) {
  switch (type) {
    case CEVT_I2:
    case CEVT_UI2:
      return 2;
    case CEVT_I4:
    case CEVT_UI4:
    case CEVT_BOOL:
      return 4;
    default:
      return 8;
  }
}

// Where a device address found in the caller's buffer points on the host.
class AddressResolver {
 public:
  explicit AddressResolver(const void* values) {
    bounded_ = FindLocalBlock(values, &base_, &size_);
    if (!bounded_) base_ = static_cast<const uint8_t*>(values);
  }

  // The host pointer and the bytes known to follow it (SIZE_MAX when the
  // allocation's end is unknown); null when outside the allocation.
  const uint8_t* Resolve(DWORD address, size_t* room) const {
    DWORD offset = address - DeviceAddress(base_);
    if (bounded_) {
      if (offset >= size_) return nullptr;
      *room = size_ - offset;
      return base_ + offset;
    }
    *room = SIZE_MAX;
    return base_ + static_cast<int32_t>(offset);
  }

 private:
  bool bounded_ = false;
  const uint8_t* base_ = nullptr;
  size_t size_ = 0;
};

bool ReadString(const AddressResolver& resolver, DWORD address, Property* out) {
  size_t room = 0;
  const uint8_t* p = address ? resolver.Resolve(address, &room) : nullptr;
  if (!p) return false;
  size_t max_units = std::min(room / 2, size_t{CEDB_MAXPROPDATASIZE / 2});
  for (size_t i = 0; i < max_units; ++i) {
    char16_t unit;
    std::memcpy(&unit, p + 2 * i, 2);
    if (unit == 0) {
      out->bytes.assign(p, p + 2 * (i + 1));
      return true;
    }
  }
  return false;  // no terminator inside the allocation
}

bool ReadBlob(const AddressResolver& resolver, const CEBLOB& blob, Property* out) {
  if (blob.dwCount > CEDB_MAXPROPDATASIZE) return false;
  if (blob.dwCount == 0) return true;
  size_t room = 0;
  const uint8_t* p = resolver.Resolve(blob.lpb, &room);
  if (!p || blob.dwCount > room) return false;
  out->bytes.assign(p, p + blob.dwCount);
  return true;
}

template <class T>
T FixedValue(const Property& p) {
  T v{};
  std::memcpy(&v, p.bytes.data(), std::min(sizeof v, p.bytes.size()));
  return v;
}

template <class T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareValues(const Property& a, const Property& b, DWORD flags) {
  switch (a.Type()) {
    case CEVT_I2:
      return Order(FixedValue<int16_t>(a), FixedValue<int16_t>(b));
    case CEVT_UI2:
      return Order(FixedValue<uint16_t>(a), FixedValue<uint16_t>(b));
    case CEVT_I4:
    case CEVT_BOOL:
      return Order(FixedValue<int32_t>(a), FixedValue<int32_t>(b));
    case CEVT_UI4:
      return Order(FixedValue<uint32_t>(a), FixedValue<uint32_t>(b));
    case CEVT_FILETIME: {
      FILETIME fa = FixedValue<FILETIME>(a), fb = FixedValue<FILETIME>(b);
      return Order(uint64_t{fa.dwHighDateTime} << 32 | fa.dwLowDateTime,
                   uint64_t{fb.dwHighDateTime} << 32 | fb.dwLowDateTime);
    }
    case CEVT_R8:
      return Order(FixedValue<double>(a), FixedValue<double>(b));
    case CEVT_LPWSTR: {
      auto text = [](const Property& p) {
        size_t units = p.bytes.size() / 2;
        std::u16string s(units, u'\0');
        std::memcpy(s.data(), p.bytes.data(), units * 2);
        while (!s.empty() && s.back() == 0) s.pop_back();
        return s;
      };
      std::u16string ta = text(a), tb = text(b);
      return (flags & CEDB_SORT_CASEINSENSITIVE) ? CompareNoCase(ta, tb) : Order(ta, tb);
    }
    default:
      return Order(a.bytes, b.bytes);
  }
}

}  // namespace

bool IsKnownPropType(WORD type) {
  switch (type) {
    case CEVT_I2:
    case CEVT_UI2:
    case CEVT_I4:
    case CEVT_UI4:
    case CEVT_BOOL:
    case CEVT_R8:
    case CEVT_FILETIME:
    case CEVT_LPWSTR:
    case CEVT_BLOB:
      return true;
    default:
      return false;
  }
}

std::vector<uint8_t> EncodeRecord(const Record& record) {
  std::vector<uint8_t> out;
  for (const auto& p : record) {
    PutU32(out, p.propid);
    PutU32(out, static_cast<uint32_t>(p.bytes.size()));
    out.insert(out.end(), p.bytes.begin(), p.bytes.end());
  }
  return out;
}

bool DecodeRecord(const void* data, size_t size, Record* out) {
  out->clear();
  auto p = static_cast<const uint8_t*>(data);
  size_t at = 0;
  while (at < size) {
    if (size - at < 8) return false;
    Property prop;
    prop.propid = GetU32(p + at);
    uint32_t length = GetU32(p + at + 4);
    at += 8;
    if (size - at < length) return false;
    prop.bytes.assign(p + at, p + at + length);
    at += length;
    out->push_back(std::move(prop));
  }
  return true;
}

void MergeProperties(Record* record, const Record& changes, const std::vector<bool>& deletes) {
  for (size_t i = 0; i < changes.size(); ++i) {
    const Property& change = changes[i];
    auto it = std::find_if(record->begin(), record->end(), [&](const Property& p) { return p.propid == change.propid; });
    if (deletes[i]) {
      if (it != record->end()) record->erase(it);
    } else if (it != record->end()) {
      it->bytes = change.bytes;
    } else {
      record->push_back(change);
    }
  }
}

size_t DeviceLayoutCount(const Record& record, const CEPROPID* wanted, size_t wanted_count) {
  return wanted ? wanted_count : record.size();
}

size_t DeviceLayoutSize(const Record& record, const CEPROPID* wanted, size_t wanted_count) {
  size_t size = DeviceLayoutCount(record, wanted, wanted_count) * kEntrySize;
  for (const auto& [propid, prop] : Selection(record, wanted, wanted_count)) {
    if (prop && prop->IsVariable()) size = Align4(size) + prop->bytes.size();
  }
  return size;
}

void WriteDeviceLayout(const Record& record, const CEPROPID* wanted, size_t wanted_count, uint8_t* buffer) {
  auto selection = Selection(record, wanted, wanted_count);
  size_t data_at = selection.size() * kEntrySize;
  for (size_t i = 0; i < selection.size(); ++i) {
    auto [propid, prop] = selection[i];
    CEPROPVAL entry{};
    entry.propid = propid;
    if (!prop) {
      entry.wFlags = CEDB_PROPNOTFOUND;
    } else if (prop->IsVariable()) {
      data_at = Align4(data_at);
      uint8_t* data = buffer + data_at;
      if (!prop->bytes.empty()) std::memcpy(data, prop->bytes.data(), prop->bytes.size());
      if (prop->Type() == CEVT_LPWSTR) {
        entry.val.lpwstr = DeviceAddress(data);
      } else {
        entry.val.blob.dwCount = static_cast<DWORD>(prop->bytes.size());
        entry.val.blob.lpb = DeviceAddress(data);
      }
      data_at += prop->bytes.size();
    } else {
      std::memcpy(&entry.val, prop->bytes.data(), std::min(sizeof entry.val, prop->bytes.size()));
    }
    std::memcpy(buffer + i * kEntrySize, &entry, kEntrySize);
  }
}

bool ReadDeviceProperties(const CEPROPVAL* values, size_t count, Record* out, std::vector<bool>* deletes,
                          DWORD* error) {
  AddressResolver resolver(values);
  out->clear();
  deletes->clear();
  for (size_t i = 0; i < count; ++i) {
    CEPROPVAL entry;
    std::memcpy(&entry, values + i, sizeof entry);
    Property prop;
    prop.propid = entry.propid;
    bool remove = (entry.wFlags & CEDB_PROPDELETE) != 0;
    *error = ERROR_INVALID_PARAMETER;
    if (!IsKnownPropType(prop.Type())) return false;
    if (!remove) {
      if (prop.Type() == CEVT_LPWSTR) {
        if (!ReadString(resolver, entry.val.lpwstr, &prop)) return false;
      } else if (prop.Type() == CEVT_BLOB) {
        if (!ReadBlob(resolver, entry.val.blob, &prop)) return false;
      } else {
        prop.bytes.assign(8, 0);
        std::memcpy(prop.bytes.data(), &entry.val, FixedWidth(prop.Type()));
      }
    }
    out->push_back(std::move(prop));
    deletes->push_back(remove);
  }
  return true;
}

int CompareByProperty(const Record& a, const Record& b, CEPROPID propid, DWORD flags) {
  const Property* pa = FindProperty(a, propid);
  const Property* pb = FindProperty(b, propid);
  if (!pa || !pb) {
    if (!pa && !pb) return 0;
    int missing_a_first = (flags & CEDB_SORT_UNKNOWNFIRST) ? -1 : 1;
    return pa ? -missing_a_first : missing_a_first;
  }
  int order = CompareValues(*pa, *pb, flags);
  return (flags & CEDB_SORT_DESCENDING) ? -order : order;
}

size_t RecordStoreSize(const Record& record) { return DeviceLayoutSize(record, nullptr, 0); }

}  // namespace cedev
