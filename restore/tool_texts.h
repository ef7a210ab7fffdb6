// The tool's user texts in English and Japanese, and the choice between them
// by the device's user-interface language.
#pragma once

#include "ce/types.h"

struct ToolTexts {
  LPCWSTR toolTitle;         // caption of the question, completion and restore-failure boxes
  LPCWSTR backupQuestion;    // backup mode's Yes/No question
  LPCWSTR backupCaption;     // caption of the backup-failure box
  LPCWSTR restoreFailed;
  LPCWSTR backupFailed;
  LPCWSTR restoreCompleted;  // shown while the reset is pending
  LPCWSTR backupCompleted;
  LPCWSTR mainProgramTitle;  // caption of the main program's result box
  LPCWSTR ownerDialog;       // start-up dialogs closed in restore mode
  LPCWSTR dateTimeDialog;
};

constexpr int kLanguageEnglish = 0;
constexpr int kLanguageJapanese = 1;

// The device's UI language as the core library reports it: 0x411 selects
// Japanese; 0x409, any other language and a library without the function
// select English.
int ChooseLanguage();
// The column of the message table for a language index (0 or 1).
const ToolTexts& TextsFor(int language);
