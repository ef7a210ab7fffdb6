// Halmix.dll: the buzzer. The host has none; the pattern goes to the journal.
#include <string>

#include "ce/halmix.h"
#include "journal.h"

BOOL SysPlayBuzzer(DWORD dwPattern, DWORD dwParam1, DWORD dwParam2) {
  cedev::JournalAppend("buzzer", "pattern " + std::to_string(dwPattern) + " " + std::to_string(dwParam1) + " " +
                                     std::to_string(dwParam2));
  return TRUE;
}
