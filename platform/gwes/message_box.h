// The first form of MessageBoxW: the buttons a box offers and the ways its
// answer is found (answerer, scripted answers, a person, the default).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/types.h"

namespace cedev {

struct BoxButtons {
  std::vector<int> ids;  // IDOK ... in the order the box shows them
  int default_id = 0;
};

// The buttons of an MB_* type; empty when the type is not one.
BoxButtons ButtonsOf(UINT type);
// "ok", "cancel", "yes" ... for a button id.
std::string ButtonName(int id);
// A scripted answer ("yes", "Cancel", "7") as a button id; 0 when it is none.
int ParseAnswer(std::string_view answer);

// The next scripted answer of this process from CEDEV_ANSWERS: a
// comma-separated list consumed in order, or "@FILE" whose lines are
// consumed by all programs of a run in turn (under a lock).
std::optional<std::string> NextScriptedAnswer();
// Tests that change CEDEV_ANSWERS start reading it afresh.
void ResetScriptedAnswers();

}  // namespace cedev
