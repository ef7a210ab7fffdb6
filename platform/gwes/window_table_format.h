// The layout of the device's window table, run/windows: every window of
// every running program, readable by all of them (FindWindowW, the
// automation API, cedev) without the owner's help. Windows die with their
// programs and nothing here must survive a reset, so the table lives under
// run/ rather than in state.db, mapped into each program's memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host_robust_mutex.h"

namespace cedev::gwes {

constexpr uint64_t kTableMagic = 0x3154424C444E5754ull;  // "TWNDLBT1"
constexpr uint32_t kTableVersion = 1;

// Window handles: the slot in the low bits, the slot's generation above,
// so a destroyed window's handle comes back only after the slot has been
// reused 2^19 times. Slot 0 stands for the desktop. Bit 31 stays clear.
constexpr uint32_t kSlotBits = 12;
constexpr uint32_t kMaxWindows = 1u << kSlotBits;
constexpr uint32_t kSlotMask = kMaxWindows - 1;
constexpr uint32_t kGenerationMask = (1u << 19) - 1;
constexpr uint32_t kDesktopHandle = (1u << kSlotBits) | 0;  // generation 1, slot 0
constexpr uint32_t kMaxPrograms = 128;

constexpr size_t kClassUnits = 64;   // a class name, terminator included
constexpr size_t kTextUnits = 256;   // texts longer than this are kept cut (kTextCut)
constexpr size_t kEndpointBytes = 112;

inline uint32_t SlotOf(uint32_t handle) { return handle & kSlotMask; }
inline uint32_t MakeHandle(uint32_t slot, uint32_t generation) {
  return ((generation & kGenerationMask) << kSlotBits) | slot;
}

// One running program that has windows.
struct ProgramEntry {
  host::RobustMutex alive;  // held by the program for its whole life
  uint32_t in_use;
  uint32_t incarnation;  // changes each time the entry is taken
  int32_t pid;
  uint32_t reserved;
  uint64_t started;                 // host start time of the process
  char endpoint[kEndpointBytes];    // where its messages from other programs go
};

enum WindowFlag : uint32_t {
  kEnabled = 1u << 0,
  kVisible = 1u << 1,
  kFocused = 1u << 2,
  kTextCut = 1u << 3,
  kDialog = 1u << 4,
  kMessageBox = 1u << 5,
  kForegroundCandidate = 1u << 6,
};

struct WindowEntry {
  uint32_t handle;       // the window's handle while it lives, 0 when the slot is free
  uint32_t generation;   // the last generation handed out for this slot
  uint32_t program;      // index into the program entries
  uint32_t incarnation;  // of that program entry
  uint32_t pid;
  uint32_t tid;
  uint32_t parent;  // handle; 0 for a top-level window
  uint32_t owner;   // handle; 0 for none
  uint32_t id;
  uint32_t style;
  uint32_t ex_style;
  uint32_t flags;    // WindowFlag
  uint32_t checked;  // BST_* of a button
  int32_t x, y, cx, cy;  // window rectangle in the parent's client area (screen for top-level)
  int32_t client_x, client_y, client_cx, client_cy;  // client area inside the window rectangle
  uint64_t z;  // top-level: higher is nearer the top; children: creation order
  uint32_t class_hash;
  uint32_t text_hash;
  uint32_t text_length;  // the whole text's length, even when cut
  uint32_t class_length;
  char16_t class_name[kClassUnits];
  char16_t text[kTextUnits];
};

struct TableHeader {
  uint64_t magic;
  uint32_t version;
  uint32_t capacity;
  host::RobustMutex mutex;  // every read and change of the table
  uint64_t revision;  // grows with every change, for watchers
  uint64_t next_z;
  uint32_t next_slot;
  uint32_t foreground;  // handle of the device's foreground window
  uint8_t keys_down[256];  // 0x80 while a key is down (keybd_event)
  ProgramEntry programs[kMaxPrograms];
};

struct TableLayout {
  TableHeader header;
  // The handle of each live slot, with kTopLevelBit for top-level windows:
  // scans read this small array and only the entries that matter.
  uint32_t live[kMaxWindows];
  WindowEntry windows[kMaxWindows];
};
constexpr uint32_t kTopLevelBit = 1u << 31;

}  // namespace cedev::gwes
