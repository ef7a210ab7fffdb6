#include "dialogs.h"

#include "resource.h"

namespace {

const WCHAR kFont[] = u"ＭＳ Ｐゴシック";
constexpr WORD kFontPoints = 9;

// Both password dialogs: a fixed modal box without a system menu, so the
// only ways out are the two buttons (and Escape).
constexpr DWORD kPasswordStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND | DS_SETFONT;
constexpr DWORD kProgressStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT;

constexpr DWORD kText = WS_VISIBLE | SS_LEFT;
constexpr DWORD kPasswordField = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;
constexpr DWORD kYes = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
// No is the default button: Enter declines unless the focus is on Yes.
constexpr DWORD kNo = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;

const WCHAR kBackupExplanation[] =
    u"本体の全てのﾃﾞｰﾀを選択した場所にﾊﾞｯｸｱｯﾌﾟします。そこにある古いﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙは上書きされます。"
    u"起動中のほかのｱﾌﾟﾘｹｰｼｮﾝは、すべて終了させて下さい。ﾊﾞｯｸｱｯﾌﾟには数分かかりますが、"
    u"この間一切の操作を行わないで下さい。\nﾊﾞｯｸｱｯﾌﾟを開始しますか？";
const WCHAR kRestoreExplanation[] =
    u"選択した場所からからﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙをﾘｽﾄｱします。ﾘｽﾄｱには数分かかりますが、"
    u"この間一切の操作を行わないで下さい。\n\nﾘｽﾄｱを開始しますか？";
const WCHAR kPasswordLabel[] = u"ﾊﾟｽﾜｰﾄﾞ:";
const WCHAR kConfirmLabel[] = u"ﾊﾟｽﾜｰﾄﾞの確認:";
const WCHAR kYesText[] = u"はい";
const WCHAR kNoText[] = u"いいえ";
const LPCWSTR kIcon = MAKEINTRESOURCEW(IDI_PASSWORD);

const CE_DIALOG_ITEM kBackupPasswordItems[] = {
    {u"STATIC", kIcon, IDC_PASSWORD_ICON, WS_VISIBLE | SS_ICON, 0, 6, 6, 16, 16},
    {u"STATIC", kBackupExplanation, IDC_PASSWORD_TEXT, kText, 0, 27, 7, 98, 83},
    {u"STATIC", kPasswordLabel, IDC_PASSWORD_LABEL, kText, 0, 7, 90, 32, 12},
    {u"EDIT", u"", IDC_PASSWORD, kPasswordField, 0, 40, 90, 84, 12},
    {u"STATIC", kConfirmLabel, IDC_CONFIRM_LABEL, kText, 0, 7, 102, 32, 16},
    {u"EDIT", u"", IDC_PASSWORD_CONFIRM, kPasswordField, 0, 40, 104, 84, 12},
    {u"BUTTON", kYesText, IDYES, kYes, 0, 37, 120, 32, 18},
    {u"BUTTON", kNoText, IDNO, kNo, 0, 71, 120, 32, 18},
};

const CE_DIALOG_ITEM kBackupPasswordLandscapeItems[] = {
    {u"STATIC", kIcon, IDC_PASSWORD_ICON, WS_VISIBLE | SS_ICON, 0, 6, 6, 16, 16},
    {u"STATIC", kBackupExplanation, IDC_PASSWORD_TEXT, kText, 0, 27, 7, 122, 65},
    {u"STATIC", kPasswordLabel, IDC_PASSWORD_LABEL, kText, 0, 7, 72, 32, 12},
    {u"EDIT", u"", IDC_PASSWORD, kPasswordField, 0, 40, 72, 108, 12},
    {u"STATIC", kConfirmLabel, IDC_CONFIRM_LABEL, kText, 0, 7, 84, 32, 16},
    {u"EDIT", u"", IDC_PASSWORD_CONFIRM, kPasswordField, 0, 40, 86, 108, 12},
    {u"BUTTON", kYesText, IDYES, kYes, 0, 37, 102, 44, 18},
    {u"BUTTON", kNoText, IDNO, kNo, 0, 83, 102, 44, 18},
};

// The restore dialog has one layout for both screens; 110 repeats it so the
// landscape template exists under its own id.
const CE_DIALOG_ITEM kRestorePasswordItems[] = {
    {u"STATIC", kIcon, IDC_PASSWORD_ICON, WS_VISIBLE | SS_ICON, 0, 6, 6, 16, 16},
    {u"STATIC", kRestoreExplanation, IDC_PASSWORD_TEXT, kText, 0, 27, 7, 98, 65},
    {u"STATIC", kPasswordLabel, IDC_PASSWORD_LABEL, kText, 0, 7, 72, 32, 12},
    {u"EDIT", u"", IDC_PASSWORD, kPasswordField, 0, 40, 72, 84, 12},
    {u"BUTTON", kYesText, IDYES, kYes, 0, 37, 90, 32, 18},
    {u"BUTTON", kNoText, IDNO, kNo, 0, 71, 90, 32, 18},
};

// The text is set when the dialog opens (string 14 or 28).
const CE_DIALOG_ITEM kProgressItems[] = {
    {u"STATIC", u"", IDC_PROGRESS_TEXT, kText, 0, 8, 8, 112, 76},
};

template <size_t N>
constexpr size_t Count(const CE_DIALOG_ITEM (&)[N]) {
  return N;
}

const CE_ICON_RESOURCE kDialogIcons[] = {
    {IDI_PASSWORD, u"password dialogs"},
};

}  // namespace

const CE_DIALOG_TEMPLATE kTolvaneDialogs[] = {
    {IDD_BACKUP_PROGRESS, kProgressStyle | WS_SYSMENU, 0, 0, 0, 120, 100, u"", kFont, kFontPoints, kProgressItems,
     Count(kProgressItems)},
    {IDD_BACKUP_PASSWORD, kPasswordStyle, 0, 0, 0, 132, 140, u"", kFont, kFontPoints, kBackupPasswordItems,
     Count(kBackupPasswordItems)},
    {IDD_RESTORE_PASSWORD, kPasswordStyle, 0, 0, 0, 132, 112, u"", kFont, kFontPoints, kRestorePasswordItems,
     Count(kRestorePasswordItems)},
    {IDD_RESTORE_PROGRESS, kProgressStyle, 0, 0, 0, 120, 100, u"", kFont, kFontPoints, kProgressItems,
     Count(kProgressItems)},
    {IDD_BACKUP_PASSWORD_LANDSCAPE, kPasswordStyle, 0, 0, 0, 156, 122, u"", kFont, kFontPoints,
     kBackupPasswordLandscapeItems, Count(kBackupPasswordLandscapeItems)},
    {IDD_RESTORE_PASSWORD_LANDSCAPE, kPasswordStyle, 0, 0, 0, 132, 112, u"", kFont, kFontPoints,
     kRestorePasswordItems, Count(kRestorePasswordItems)},
};

const size_t kTolvaneDialogCount = sizeof kTolvaneDialogs / sizeof kTolvaneDialogs[0];

void RegisterTolvaneDialogs(HINSTANCE module) {
  CeRegisterDialogTemplates(module, kTolvaneDialogs, kTolvaneDialogCount);
  CeRegisterIcons(module, kDialogIcons, sizeof kDialogIcons / sizeof kDialogIcons[0]);
}
