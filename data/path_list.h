// A list of owned names, filled in order and asked later whether a name is
// among them, ignoring case. Restoring a key or folder asks once per device
// entry, so the list keeps a hash index beside the chain once it grows past
// a handful of names; without memory for the index it simply walks.
#pragma once

#include "ce/types.h"

class MPathListItem {
 public:
  explicit MPathListItem(LPCWSTR text);
  virtual ~MPathListItem();
  MPathListItem(const MPathListItem&) = delete;
  MPathListItem& operator=(const MPathListItem&) = delete;

  // True when the text exists and equals `other` ignoring case.
  BOOL Matches(LPCWSTR other) const;

  MPathListItem* next;
  LPWSTR text;  // null when the copy could not be allocated

 private:
  friend class MPathList;
  MPathListItem* nextInBucket;
  DWORD hash;
};

class MPathList {
 public:
  typedef BOOL (*Visitor)(void* context, LPCWSTR text);

  MPathList();
  virtual ~MPathList();
  MPathList(const MPathList&) = delete;
  MPathList& operator=(const MPathList&) = delete;

  // Adds a copy at the tail; nothing happens when memory runs out.
  void Append(LPCWSTR text);
  BOOL Contains(LPCWSTR text) const;
  // True when every element of this list is in `other` (an empty list is
  // contained in any list).
  BOOL ContainsAll(const MPathList& other) const;
  static BOOL IsSameSet(const MPathList& a, const MPathList& b);
  // Calls `visit` with each text from the head while it returns nonzero;
  // returns the last result, 1 for an empty list.
  BOOL ForEach(Visitor visit, void* context) const;

  MPathListItem* Head() const { return head; }
  DWORD Count() const { return count; }

 private:
  static constexpr DWORD kIndexFrom = 16;  // shorter lists are walked
  void IndexItem(MPathListItem* item);
  BOOL Reindex(DWORD bucketCount);

  MPathListItem* head;
  MPathListItem* tail;
  DWORD count;
  MPathListItem** buckets;  // null while not indexed
  DWORD bucketCount;
};
