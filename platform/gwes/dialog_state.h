// What a dialog window keeps besides what every window has: its dialog
// procedure and the values of its extra bytes, whether and how it ended,
// its default button, and for a message box the box's own state.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ce/user.h"

namespace cedev::gwes {

struct Window;

struct MessageBoxState {
  UINT type = 0;
  std::vector<int> buttons;  // ids, in the order the box shows them
  int default_id = 0;
  std::string answered_by;   // who the next press comes from, when known
};

struct DialogState {
  DLGPROC proc = nullptr;
  LRESULT message_result = 0;
  LONG_PTR user = 0;
  bool modal = false;
  bool disabled_owner = false;  // the modal loop disabled the owner and enables it again
  bool ended = false;
  INT_PTR result = 0;
  WORD default_id = 0;         // 0: none set (Enter then means IDOK)
  uint32_t saved_focus = 0;    // the control that had the focus when the dialog lost it
  std::chrono::steady_clock::time_point opened{};
  std::chrono::steady_clock::time_point auto_user_due{};  // when the automatic device user presses next
  std::unique_ptr<MessageBoxState> box;
};

// The dialog's extra bytes (DWL_* and DWLP_*): reads into *get or writes
// *set; false for an index that is none of them.
bool DialogLong(Window& window, int index, bool wide, LONG_PTR* get, const LONG_PTR* set);

// The dialog a window is, or null.
DialogState* DialogOf(const Window& window);
// The state a "Dialog" window takes when it is made (prepared by the
// dialog's maker, or a fresh one for a window made directly).
std::unique_ptr<DialogState> TakePendingDialog();

}  // namespace cedev::gwes
