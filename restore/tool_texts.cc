#include "tool_texts.h"

#include <windows.h>

namespace {

constexpr LANGID kJapanese = 0x0411;

const ToolTexts kTexts[2] = {
    {
        TEXT("Tolvane Boot Agent"),
        TEXT("Will you begin a backup for the automatic restoration?"),
        TEXT("Backup"),
        TEXT("Restore failed. Please retry after full reset."),
        TEXT("Backup failed. After confirming the battery residual quantity or the capacity of FlashDisk, execute "
             "once again."),
        TEXT("Restore completed. Reset after 5 seconds."),
        TEXT("Backup completed."),
        TEXT("Tolvane Utility"),
        TEXT("Owner Properties"),
        TEXT("Date/Time Properties"),
    },
    {
        TEXT("Tolvane Boot Agent"),
        TEXT("自動復旧を行うためのバックアップを開始してもよろしいですか？"),
        TEXT("バックアップ"),
        TEXT("リストアに失敗しました。フルリセットを行い、再度実行して下さい。"),
        TEXT("バックアップに失敗しました。FlashDiskの容量、またはバッテリ残量を確認してから、再度実行して下さい。"),
        TEXT("リストアが終了しました。5秒後にリセットします。"),
        TEXT("バックアップが終了しました。"),
        TEXT("Tolvane Utility"),
        TEXT("所有者情報のプロパティ"),
        TEXT("日付/時刻のプロパティ"),
    },
};

typedef LANGID(WINAPI* PFN_GETUILANGUAGE)();

}  // namespace

int ChooseLanguage() {
  HMODULE core = LoadLibraryW(TEXT("CoreDll.dll"));
  if (!core) return kLanguageEnglish;
  LANGID language = 0;
  auto getLanguage = reinterpret_cast<PFN_GETUILANGUAGE>(GetProcAddressW(core, TEXT("GetUserDefaultUILanguage")));
  if (getLanguage) language = getLanguage();
  FreeLibrary(core);
  return language == kJapanese ? kLanguageJapanese : kLanguageEnglish;
}

const ToolTexts& TextsFor(int language) { return kTexts[language == kLanguageJapanese ? 1 : 0]; }
