#include "strings.h"

#include "resource.h"

// Texts exactly as the device shows them (half-width katakana included).
// The free-space and used-memory figures are whole 64-bit KB counts: a card
// with 4 GiB or more free must not show the low 32 bits of its byte count.
const CE_STRINGTABLE_ENTRY kTolvaneStrings[] = {
    {IDS_DESCRIPTION, u"ﾒﾓﾘｶｰﾄﾞへﾕｰｻﾞﾃﾞｰﾀの保存、復元をおこなうｿﾌﾄｳｪｱです。"},
    {IDS_BACKUP_BUTTON, u"バックアップ"},
    {IDS_RESTORE_BUTTON, u"リストア"},
    {IDS_APP_TITLE, u"Tolvane Utility"},
    {IDS_BACKUP_PROGRESS, u"ﾊﾞｯｸｱｯﾌﾟ中です。一切の操作を行わないでください。"},
    {IDS_BACKUP_TITLE, u"ﾊﾞｯｸｱｯﾌﾟ"},
    {IDS_BACKUP_DONE, u"ﾊﾞｯｸｱｯﾌﾟが終了しました。:"},
    {IDS_BACKUP_WRITE_FAILED,
     u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの書き込みが失敗しました。ﾒﾓﾘｶｰﾄﾞが挿入されており、空き容量が充分にあることを確認してください。"},
    {IDS_BACKUP_WRITE_FAILED_OLD_FILE,
     u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの書き込みが失敗しました。ﾒﾆｭｰに戻って、既存ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙを削除してから再実行してください。"},
    {IDS_APPLICATION_ERROR, u"Application Error"},
    {IDS_CANCEL_BACKUP, u"ﾊﾞｯｸｱｯﾌﾟを中断します。よろしいですか？"},
    {IDS_CANCEL_RESTORE, u"ﾘｽﾄｱを中断します。よろしいですか？"},
    {IDS_RESTORE_TITLE, u"ﾘｽﾄｱ"},
    {IDS_RESTORE_PROGRESS, u"しばらくお待ちください。復元中です。一切の操作を行わないでください。"},
    {IDS_RESTORE_DONE, u"ﾘｽﾄｱが終了しました。使用する前に本体をﾘｾｯﾄしてください。"},
    {IDS_DEVICE_WRITE_FAILED, u"ﾃﾞｰﾀを書き込むことが出来ませんでした。正しく復元されませんでした。"},
    {IDS_ARCHIVE_READ_FAILED, u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙを読み込むことが出来ませんでした。正しく復元されませんでした。"},
    {IDS_BACKUP_LOW_BATTERY,
     u"ﾒｲﾝ ﾊﾞｯﾃﾘが残りわずかです。ﾊﾞｯｸｱｯﾌﾟを続ける前にﾒｲﾝ ﾊﾞｯﾃﾘを交換するか、ﾊﾞｯﾃﾘの充電を行ってください。"},
    {IDS_RESTORE_LOW_BATTERY,
     u"ﾒｲﾝ ﾊﾞｯﾃﾘが残りわずかです。ﾘｽﾄｱを続ける前にﾒｲﾝ ﾊﾞｯﾃﾘを交換するか、ﾊﾞｯﾃﾘの充電を行ってください。"},
    {IDS_LAST_BACKUP_LABEL, u"最終ﾊﾞｯｸｱｯﾌﾟ日"},
    {IDS_DELETE_BUTTON, u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの削除"},
    {IDS_DELETE_QUESTION, u"選択した場所にあるﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙを削除します。よろしいですか？"},
    {IDS_FREE_SPACE, u"%s: %I64uKB未使用"},
    {IDS_USED_MEMORY, u"ﾃﾞｰﾀ記憶用ﾒﾓﾘ: %I64uKB使用中"},
    {IDS_BAD_PASSWORD, u"パスワードが異なります。\n正しいパスワードを入力してリストアを実行し直してください。"},
    {IDS_PASSWORD_MISMATCH,
     u"ﾊﾟｽﾜｰﾄﾞを確認できませんでした。ﾊﾟｽﾜｰﾄﾞと確認入力ﾊﾟｽﾜｰﾄﾞを一致させてください。"},
    {IDS_LOCATION_LABEL, u"保存場所:"},
    {IDS_VERSION_CAPTION, u"ﾊﾞｰｼﾞｮﾝ情報"},
    {IDS_VERSION_YEAR, u"2013"},
    {IDS_MAKER, u"Tolvane Project"},
    {IDS_VERSION_NUMBER, u"1.09"},
};

const size_t kTolvaneStringCount = sizeof kTolvaneStrings / sizeof kTolvaneStrings[0];

void RegisterTolvaneStrings(HINSTANCE module) { CeRegisterStringTable(module, kTolvaneStrings, kTolvaneStringCount); }
