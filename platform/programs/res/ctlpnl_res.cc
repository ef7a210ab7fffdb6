#include "ctlpnl_res.h"

namespace ctlpnl {
namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
constexpr DWORD kLabel = WS_VISIBLE;
constexpr DWORD kEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kOk = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kCancel = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr WORD kLabelId = static_cast<WORD>(IDC_STATIC);

#define CTLPNL_FIELDS(label1, label2, cancel)                                      \
  {                                                                                \
    {u"STATIC", label1, kLabelId, kLabel, 0, 6, 8, 40, 10},                        \
        {u"EDIT", u"", kFirstField, kEdit, 0, 48, 6, 96, 12},                      \
        {u"STATIC", label2, kLabelId, kLabel, 0, 6, 24, 40, 10},                   \
        {u"EDIT", u"", kSecondField, kEdit, 0, 48, 22, 96, 12},                    \
        {u"BUTTON", u"OK", IDOK, kOk, 0, 40, 44, 50, 14},                          \
        {u"BUTTON", cancel, IDCANCEL, kCancel, 0, 94, 44, 50, 14},                 \
  }

const CE_DIALOG_ITEM kClockItems[] = CTLPNL_FIELDS(u"Date:", u"Time:", u"Cancel");
const CE_DIALOG_ITEM kClockItemsJapanese[] = CTLPNL_FIELDS(u"日付:", u"時刻:", u"キャンセル");
const CE_DIALOG_ITEM kOwnerItems[] = CTLPNL_FIELDS(u"Name:", u"Company:", u"Cancel");
const CE_DIALOG_ITEM kOwnerItemsJapanese[] = CTLPNL_FIELDS(u"名前:", u"会社名:", u"キャンセル");

#undef CTLPNL_FIELDS

const CE_DIALOG_TEMPLATE kDialogs[] = {
    {kClockDialog, kDialogStyle, 0, 0, 0, 150, 64, u"Date/Time Properties", u"MS Sans Serif", 9, kClockItems, 6},
    {kClockDialogJapanese, kDialogStyle, 0, 0, 0, 150, 64, u"日付/時刻のプロパティ", u"MS UI Gothic", 9,
     kClockItemsJapanese, 6},
    {kOwnerDialog, kDialogStyle, 0, 0, 0, 150, 64, u"Owner Properties", u"MS Sans Serif", 9, kOwnerItems, 6},
    {kOwnerDialogJapanese, kDialogStyle, 0, 0, 0, 150, 64, u"所有者情報のプロパティ", u"MS UI Gothic", 9,
     kOwnerItemsJapanese, 6},
};

}  // namespace

void RegisterDialogs(HINSTANCE module) {
  CeRegisterDialogTemplates(module, kDialogs, sizeof(kDialogs) / sizeof(kDialogs[0]));
}

}  // namespace ctlpnl
