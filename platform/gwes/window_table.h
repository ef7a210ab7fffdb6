// The device's window table (run/windows, laid out in
// window_table_format.h): every program adds, changes and removes its own
// windows here, and anyone reads any of them. A program that ended or was
// killed loses its entries at once for every reader: each read checks the
// owner's life (a robust mutex the owner holds, so the check needs no system
// call while it lives) and clears what a dead program left.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host_shared_region.h"
#include "window_table_format.h"

namespace cedev::gwes {

// A copy of one window's entry, taken under the table's lock.
struct WindowRecord {
  uint32_t handle = 0;
  uint32_t pid = 0;
  uint32_t tid = 0;
  uint32_t parent = 0;
  uint32_t owner = 0;
  uint32_t id = 0;
  uint32_t style = 0;
  uint32_t ex_style = 0;
  uint32_t flags = 0;
  uint32_t checked = 0;
  int32_t x = 0, y = 0, cx = 0, cy = 0;
  int32_t client_x = 0, client_y = 0, client_cx = 0, client_cy = 0;
  uint64_t z = 0;
  std::u16string class_name;
  std::u16string text;  // cut to kTextUnits - 1 when kTextCut is set
  uint32_t text_length = 0;
};

// This program's entry in the table.
struct ProgramClaim {
  uint32_t index = 0;
  uint32_t incarnation = 0;
};

class WindowTable {
 public:
  // Maps run_dir/windows, setting the table up when it is new.
  static std::unique_ptr<WindowTable> Open(const std::filesystem::path& run_dir);

  // Takes a program entry for this process. `hold` gets the entry's life
  // mutex and must take it (for good) before the entry is published.
  std::optional<ProgramClaim> ClaimProgram(int pid, uint64_t started, const std::string& endpoint,
                                           const std::function<bool(host::RobustMutex*)>& hold);
  // Gives the entry back with every window still in the table under it.
  void ReleaseProgram(const ProgramClaim& claim);
  // The endpoint and process of the program that owns a live window.
  std::optional<std::pair<int, std::string>> ProgramOf(uint32_t handle);

  // Adds a window of the claimed program; its handle, or 0 when the table is full.
  uint32_t Add(const ProgramClaim& claim, const WindowRecord& record);
  void Remove(uint32_t handle);
  // Changes a live window's entry under the lock; false when it is not live.
  bool Change(uint32_t handle, const std::function<void(WindowEntry&)>& change);

  std::optional<WindowRecord> Get(uint32_t handle);
  bool Lives(uint32_t handle);
  // The first top-level window (topmost first) with the class (without
  // regard to case) and title; an empty optional matches any.
  uint32_t Find(std::optional<std::u16string_view> class_name, std::optional<std::u16string_view> title);
  // Top-level windows, topmost first.
  std::vector<WindowRecord> TopLevel();
  // Direct children, in creation order.
  std::vector<WindowRecord> Children(uint32_t parent);
  uint32_t ChildWithId(uint32_t parent, uint32_t id);

  uint64_t Revision();
  // Puts a window above every other one; with `foreground`, it also becomes
  // the device's foreground window.
  void Raise(uint32_t handle, bool foreground);
  uint32_t Foreground();
  void SetForeground(uint32_t handle);
  bool KeyDown(int vk);
  void SetKeyDown(int vk, bool down);

  // Sets the text fields of an entry (cut to the table's room).
  static void StoreText(WindowEntry& entry, std::u16string_view text);
  static void StoreClass(WindowEntry& entry, std::u16string_view class_name);

 private:
  explicit WindowTable(std::unique_ptr<host::SharedRegion> region)
      : region_(std::move(region)), table_(static_cast<TableLayout*>(region_->data())) {}

  class Locked;
  bool LiveLocked(uint32_t handle);
  bool ProgramLivesLocked(uint32_t program, uint32_t incarnation);
  void ReapProgramLocked(uint32_t program);
  void RemoveLocked(uint32_t slot);

  std::unique_ptr<host::SharedRegion> region_;
  TableLayout* table_;
};

}  // namespace cedev::gwes
