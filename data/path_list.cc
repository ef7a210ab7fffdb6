#include "path_list.h"

#include <new>

#include "wide_text.h"

namespace {

DWORD FoldedHash(LPCWSTR text) {
  DWORD h = 2166136261u;
  for (; *text; ++text) h = (h ^ WideFoldCase(*text)) * 16777619u;
  return h;
}

}  // namespace

MPathListItem::MPathListItem(LPCWSTR source)
    : next(nullptr), text(DuplicateString(source)), nextInBucket(nullptr), hash(text ? FoldedHash(text) : 0) {}

MPathListItem::~MPathListItem() { FreeString(text); }

BOOL MPathListItem::Matches(LPCWSTR other) const { return text && other && WideEqualNoCase(text, other); }

MPathList::MPathList() : head(nullptr), tail(nullptr), count(0), buckets(nullptr), bucketCount(0) {}

MPathList::~MPathList() {
  for (MPathListItem* item = head; item;) {
    MPathListItem* next = item->next;
    delete item;
    item = next;
  }
  head = tail = nullptr;
  delete[] buckets;
}

void MPathList::IndexItem(MPathListItem* item) {
  if (!item->text) return;  // never matches, needs no slot
  MPathListItem*& slot = buckets[item->hash & (bucketCount - 1)];
  item->nextInBucket = slot;
  slot = item;
}

BOOL MPathList::Reindex(DWORD newCount) {
  MPathListItem** fresh = new (std::nothrow) MPathListItem*[newCount]();
  if (!fresh) return FALSE;
  delete[] buckets;
  buckets = fresh;
  bucketCount = newCount;
  for (MPathListItem* item = head; item; item = item->next) IndexItem(item);
  return TRUE;
}

void MPathList::Append(LPCWSTR text) {
  MPathListItem* item = new (std::nothrow) MPathListItem(text);
  if (!item) return;
  if (tail) tail->next = item;
  else head = item;
  tail = item;
  ++count;
  if (buckets && count <= bucketCount) {
    IndexItem(item);
  } else if (count >= kIndexFrom && !Reindex(bucketCount ? bucketCount * 2 : 64)) {
    delete[] buckets;  // keep answering correctly by walking the chain
    buckets = nullptr;
    bucketCount = 0;
  }
}

BOOL MPathList::Contains(LPCWSTR text) const {
  if (!text) return FALSE;
  if (buckets) {
    DWORD h = FoldedHash(text);
    for (MPathListItem* item = buckets[h & (bucketCount - 1)]; item; item = item->nextInBucket)
      if (item->hash == h && item->Matches(text)) return TRUE;
    return FALSE;
  }
  for (MPathListItem* item = head; item; item = item->next)
    if (item->Matches(text)) return TRUE;
  return FALSE;
}

BOOL MPathList::ContainsAll(const MPathList& other) const {
  for (MPathListItem* item = head; item; item = item->next)
    if (!other.Contains(item->text)) return FALSE;
  return TRUE;
}

BOOL MPathList::IsSameSet(const MPathList& a, const MPathList& b) { return a.ContainsAll(b) && b.ContainsAll(a); }

BOOL MPathList::ForEach(Visitor visit, void* context) const {
  BOOL result = TRUE;
  for (MPathListItem* item = head; item && result; item = item->next) result = visit(context, item->text);
  return result;
}
