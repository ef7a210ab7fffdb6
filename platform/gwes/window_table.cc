#include "window_table.h"

#include <algorithm>
#include <atomic>

#include "wstr.h"

namespace cedev::gwes {
namespace {

uint32_t Hash(std::u16string_view text, bool fold) {
  uint32_t h = 2166136261u;
  for (char16_t c : text) {
    h ^= fold ? FoldCase(c) : c;
    h *= 16777619u;
  }
  return h;
}

WindowRecord RecordOf(const WindowEntry& e) {
  WindowRecord r;
  r.handle = e.handle;
  r.pid = e.pid;
  r.tid = e.tid;
  r.parent = e.parent;
  r.owner = e.owner;
  r.id = e.id;
  r.style = e.style;
  r.ex_style = e.ex_style;
  r.flags = e.flags;
  r.checked = e.checked;
  r.x = e.x, r.y = e.y, r.cx = e.cx, r.cy = e.cy;
  r.client_x = e.client_x, r.client_y = e.client_y, r.client_cx = e.client_cx, r.client_cy = e.client_cy;
  r.z = e.z;
  r.class_name.assign(e.class_name, e.class_length);
  r.text.assign(e.text, std::min<size_t>(e.text_length, kTextUnits - 1));
  r.text_length = e.text_length;
  return r;
}

}  // namespace

// The table's lock for the length of a scope.
class WindowTable::Locked {
 public:
  explicit Locked(TableHeader& header) : header_(header) { host::LockRobustMutex(&header_.mutex); }
  ~Locked() { host::UnlockRobustMutex(&header_.mutex); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  TableHeader& header_;
};

std::unique_ptr<WindowTable> WindowTable::Open(const std::filesystem::path& run_dir) {
  std::error_code ec;
  std::filesystem::create_directories(run_dir, ec);
  auto region = host::SharedRegion::Open((run_dir / "windows").string(), sizeof(TableLayout), kTableMagic, [](void* data) {
    auto* table = static_cast<TableLayout*>(data);
    table->header.version = kTableVersion;
    table->header.capacity = kMaxWindows;
    table->header.next_slot = 1;
    table->header.next_z = 1;
    if (!host::SetUpRobustMutex(&table->header.mutex)) return false;
    for (auto& program : table->header.programs) {
      if (!host::SetUpRobustMutex(&program.alive)) return false;
    }
    return true;
  });
  if (!region) return nullptr;
  auto* table = static_cast<TableLayout*>(region->data());
  if (table->header.version != kTableVersion || table->header.capacity != kMaxWindows) return nullptr;
  return std::unique_ptr<WindowTable>(new WindowTable(std::move(region)));
}

void WindowTable::StoreText(WindowEntry& entry, std::u16string_view text) {
  size_t kept = std::min(text.size(), kTextUnits - 1);
  std::copy_n(text.data(), kept, entry.text);
  entry.text[kept] = 0;
  entry.text_length = static_cast<uint32_t>(text.size());
  entry.text_hash = Hash(text, false);
  entry.flags = kept < text.size() ? entry.flags | kTextCut : entry.flags & ~kTextCut;
}

void WindowTable::StoreClass(WindowEntry& entry, std::u16string_view class_name) {
  size_t kept = std::min(class_name.size(), kClassUnits - 1);
  std::copy_n(class_name.data(), kept, entry.class_name);
  entry.class_name[kept] = 0;
  entry.class_length = static_cast<uint32_t>(kept);
  entry.class_hash = Hash(class_name.substr(0, kept), true);
}

std::optional<ProgramClaim> WindowTable::ClaimProgram(int pid, uint64_t started, const std::string& endpoint,
                                                      const std::function<bool(host::RobustMutex*)>& hold) {
  if (endpoint.size() >= kEndpointBytes) return std::nullopt;
  Locked lock(table_->header);
  for (uint32_t i = 0; i < kMaxPrograms; ++i) {
    ProgramEntry& p = table_->header.programs[i];
    if (p.in_use && ProgramLivesLocked(i, p.incarnation)) continue;
    if (!hold(&p.alive)) return std::nullopt;
    p.in_use = 1;
    p.incarnation++;
    p.pid = pid;
    p.started = started;
    std::fill(std::begin(p.endpoint), std::end(p.endpoint), '\0');
    std::copy(endpoint.begin(), endpoint.end(), p.endpoint);
    table_->header.revision++;
    return ProgramClaim{i, p.incarnation};
  }
  return std::nullopt;
}

void WindowTable::ReleaseProgram(const ProgramClaim& claim) {
  Locked lock(table_->header);
  ProgramEntry& p = table_->header.programs[claim.index];
  if (!p.in_use || p.incarnation != claim.incarnation) return;
  ReapProgramLocked(claim.index);
}

std::optional<std::pair<int, std::string>> WindowTable::ProgramOf(uint32_t handle) {
  Locked lock(table_->header);
  if (!LiveLocked(handle)) return std::nullopt;
  const ProgramEntry& p = table_->header.programs[table_->windows[SlotOf(handle)].program];
  return std::make_pair(static_cast<int>(p.pid), std::string(p.endpoint));
}

bool WindowTable::ProgramLivesLocked(uint32_t program, uint32_t incarnation) {
  ProgramEntry& p = table_->header.programs[program];
  if (!p.in_use || p.incarnation != incarnation) return false;
  if (host::RobustMutexHolderLives(&p.alive)) return true;
  ReapProgramLocked(program);
  return false;
}

void WindowTable::ReapProgramLocked(uint32_t program) {
  for (uint32_t slot = 1; slot < kMaxWindows; ++slot) {
    if (table_->live[slot] && table_->windows[slot].program == program) RemoveLocked(slot);
  }
  table_->header.programs[program].in_use = 0;
  table_->header.revision++;
}

void WindowTable::RemoveLocked(uint32_t slot) {
  WindowEntry& e = table_->windows[slot];
  if (table_->header.foreground == e.handle) table_->header.foreground = 0;
  e.handle = 0;
  table_->live[slot] = 0;
  table_->header.revision++;
}

bool WindowTable::LiveLocked(uint32_t handle) {
  uint32_t slot = SlotOf(handle);
  if (slot == 0 || (table_->live[slot] & ~kTopLevelBit) != handle) return false;
  const WindowEntry& e = table_->windows[slot];
  return ProgramLivesLocked(e.program, e.incarnation);
}

uint32_t WindowTable::Add(const ProgramClaim& claim, const WindowRecord& record) {
  Locked lock(table_->header);
  TableHeader& h = table_->header;
  for (uint32_t tries = 0; tries < kMaxWindows; ++tries) {
    uint32_t slot = h.next_slot;
    h.next_slot = slot + 1 < kMaxWindows ? slot + 1 : 1;
    if (table_->live[slot]) continue;
    WindowEntry& e = table_->windows[slot];
    uint32_t generation = (e.generation + 1) & kGenerationMask;
    if (generation == 0) generation = 1;
    uint32_t keep_generation = generation;
    e = WindowEntry{};
    e.generation = keep_generation;
    e.handle = MakeHandle(slot, keep_generation);
    e.program = claim.index;
    e.incarnation = claim.incarnation;
    e.pid = record.pid;
    e.tid = record.tid;
    e.parent = record.parent;
    e.owner = record.owner;
    e.id = record.id;
    e.style = record.style;
    e.ex_style = record.ex_style;
    e.flags = record.flags;
    e.x = record.x, e.y = record.y, e.cx = record.cx, e.cy = record.cy;
    e.client_x = record.client_x, e.client_y = record.client_y;
    e.client_cx = record.client_cx, e.client_cy = record.client_cy;
    e.z = h.next_z++;
    StoreClass(e, record.class_name);
    StoreText(e, record.text);
    table_->live[slot] = e.handle | (record.parent ? 0 : kTopLevelBit);
    h.revision++;
    return e.handle;
  }
  return 0;
}

void WindowTable::Remove(uint32_t handle) {
  Locked lock(table_->header);
  uint32_t slot = SlotOf(handle);
  if (slot != 0 && (table_->live[slot] & ~kTopLevelBit) == handle) RemoveLocked(slot);
}

bool WindowTable::Change(uint32_t handle, const std::function<void(WindowEntry&)>& change) {
  Locked lock(table_->header);
  uint32_t slot = SlotOf(handle);
  if (slot == 0 || (table_->live[slot] & ~kTopLevelBit) != handle) return false;
  WindowEntry& e = table_->windows[slot];
  change(e);
  table_->live[slot] = e.handle | (e.parent ? 0 : kTopLevelBit);
  table_->header.revision++;
  return true;
}

std::optional<WindowRecord> WindowTable::Get(uint32_t handle) {
  Locked lock(table_->header);
  if (!LiveLocked(handle)) return std::nullopt;
  return RecordOf(table_->windows[SlotOf(handle)]);
}

bool WindowTable::Lives(uint32_t handle) {
  Locked lock(table_->header);
  return LiveLocked(handle);
}

uint32_t WindowTable::Find(std::optional<std::u16string_view> class_name, std::optional<std::u16string_view> title) {
  uint32_t class_hash = class_name ? Hash(*class_name, true) : 0;
  uint32_t title_hash = title ? Hash(*title, false) : 0;
  Locked lock(table_->header);
  uint32_t best = 0;
  uint64_t best_z = 0;
  for (uint32_t slot = 1; slot < kMaxWindows; ++slot) {
    uint32_t live = table_->live[slot];
    if (!(live & kTopLevelBit)) continue;
    const WindowEntry& e = table_->windows[slot];
    if (e.z < best_z) continue;
    if (class_name && (e.class_hash != class_hash ||
                       !EqualNoCase(std::u16string_view(e.class_name, e.class_length), *class_name))) {
      continue;
    }
    if (title && (e.text_hash != title_hash || e.text_length != title->size() || (e.flags & kTextCut) ||
                  std::u16string_view(e.text, e.text_length) != *title)) {
      continue;
    }
    if (!ProgramLivesLocked(e.program, e.incarnation)) continue;
    best = e.handle;
    best_z = e.z;
  }
  return best;
}

std::vector<WindowRecord> WindowTable::TopLevel() {
  std::vector<WindowRecord> out;
  {
    Locked lock(table_->header);
    for (uint32_t slot = 1; slot < kMaxWindows; ++slot) {
      if (!(table_->live[slot] & kTopLevelBit)) continue;
      const WindowEntry& e = table_->windows[slot];
      if (ProgramLivesLocked(e.program, e.incarnation)) out.push_back(RecordOf(e));
    }
  }
  std::sort(out.begin(), out.end(), [](const WindowRecord& a, const WindowRecord& b) {
    bool a_top = a.ex_style & 0x8, b_top = b.ex_style & 0x8;  // WS_EX_TOPMOST windows stay above
    if (a_top != b_top) return a_top;
    return a.z > b.z;
  });
  return out;
}

std::vector<WindowRecord> WindowTable::Children(uint32_t parent) {
  std::vector<WindowRecord> out;
  {
    Locked lock(table_->header);
    for (uint32_t slot = 1; slot < kMaxWindows; ++slot) {
      uint32_t live = table_->live[slot];
      if (!live || (live & kTopLevelBit)) continue;
      const WindowEntry& e = table_->windows[slot];
      if (e.parent == parent && ProgramLivesLocked(e.program, e.incarnation)) out.push_back(RecordOf(e));
    }
  }
  std::sort(out.begin(), out.end(), [](const WindowRecord& a, const WindowRecord& b) { return a.z < b.z; });
  return out;
}

uint32_t WindowTable::ChildWithId(uint32_t parent, uint32_t id) {
  Locked lock(table_->header);
  uint32_t best = 0;
  uint64_t best_z = UINT64_MAX;
  for (uint32_t slot = 1; slot < kMaxWindows; ++slot) {
    uint32_t live = table_->live[slot];
    if (!live || (live & kTopLevelBit)) continue;
    const WindowEntry& e = table_->windows[slot];
    if (e.parent != parent || e.id != id || e.z > best_z) continue;
    if (!ProgramLivesLocked(e.program, e.incarnation)) continue;
    best = e.handle;
    best_z = e.z;
  }
  return best;
}

uint64_t WindowTable::Revision() {
  return std::atomic_ref<uint64_t>(table_->header.revision).load(std::memory_order_acquire);
}

void WindowTable::Raise(uint32_t handle, bool foreground) {
  Locked lock(table_->header);
  uint32_t slot = SlotOf(handle);
  if (slot == 0 || (table_->live[slot] & ~kTopLevelBit) != handle) return;
  table_->windows[slot].z = table_->header.next_z++;
  if (foreground) table_->header.foreground = handle;
  table_->header.revision++;
}

uint32_t WindowTable::Foreground() {
  Locked lock(table_->header);
  uint32_t handle = table_->header.foreground;
  return handle && LiveLocked(handle) ? handle : 0;
}

void WindowTable::SetForeground(uint32_t handle) {
  Locked lock(table_->header);
  table_->header.foreground = handle;
  table_->header.revision++;
}

bool WindowTable::KeyDown(int vk) {
  if (vk < 0 || vk > 255) return false;
  return std::atomic_ref<uint8_t>(table_->header.keys_down[vk]).load(std::memory_order_relaxed) & 0x80;
}

void WindowTable::SetKeyDown(int vk, bool down) {
  if (vk < 0 || vk > 255) return;
  std::atomic_ref<uint8_t>(table_->header.keys_down[vk]).store(down ? 0x80 : 0, std::memory_order_relaxed);
}

}  // namespace cedev::gwes
