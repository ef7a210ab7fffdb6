// Message boxes: the buttons a box offers, and the ways its answer is found
// (a test's answerer, scripted answers, a person at the terminal); the box
// itself is a dialog (message_box.cc) that waits for a press otherwise.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/user.h"

namespace cedev {

struct BoxButtons {
  std::vector<int> ids;  // IDOK ... in the order the box shows them
  int default_id = 0;
};

// The buttons of an MB_* type; empty when the type is not one.
BoxButtons ButtonsOf(UINT type);
// "ok", "cancel", "yes" ... for a button id.
std::string ButtonName(int id);
// Without the blanks around it, as an answer is typed or scripted.
std::string Trim(std::string_view s);
// A scripted answer ("yes", "Cancel", "7") as a button id; 0 when it is none.
int ParseAnswer(std::string_view answer);

// The next scripted answer of this process from CEDEV_ANSWERS: a
// comma-separated list consumed in order, or "@FILE" whose lines are
// consumed by all programs of a run in turn (under a lock).
std::optional<std::string> NextScriptedAnswer();
// Tests that change CEDEV_ANSWERS start reading it afresh.
void ResetScriptedAnswers();
// The answerer a test installed (CeSetMessageBoxAnswerer), or null.
void CurrentAnswerer(CeMessageBoxAnswerer* answerer, void** context);

namespace gwes {

// Who pressed a message box's button, for the journal.
enum class BoxAnswerer : uint32_t { kPress = 0, kAnswerer = 1, kScript = 2, kPerson = 3, kDefault = 4 };
// "answerer", "script", "person", "default"; "" for a press through the window.
const char* AnswererName(BoxAnswerer by);

}  // namespace gwes
}  // namespace cedev
