#include "main_window_res.h"

#include "resource.h"

namespace {

const CE_MENU_ITEM kViewItems[] = {
    {MF_STRING, IDM_VERSION, u"ﾊﾞｰｼﾞｮﾝ情報", nullptr, 0},
};

const CE_MENU_ITEM kMainMenuItems[] = {
    {MF_POPUP, 0, u"表示", kViewItems, sizeof kViewItems / sizeof kViewItems[0]},
};

const CE_MENU_TEMPLATE kMenus[] = {
    {IDR_MAIN_MENU, kMainMenuItems, sizeof kMainMenuItems / sizeof kMainMenuItems[0]},
};

const ACCEL kAccelerators[] = {
    {FCONTROL | FVIRTKEY, u'Q', IDM_QUIT},
};

const CE_ICON_RESOURCE kIcons[] = {
    {IDI_MAIN, u"Tolvane"},
};

}  // namespace

void RegisterMainWindowResources(HINSTANCE module) {
  CeRegisterMenus(module, kMenus, sizeof kMenus / sizeof kMenus[0]);
  CeRegisterAccelerators(module, IDR_MAIN_ACCELERATORS, kAccelerators, sizeof kAccelerators / sizeof kAccelerators[0]);
  CeRegisterIcons(module, kIcons, sizeof kIcons / sizeof kIcons[0]);
}
