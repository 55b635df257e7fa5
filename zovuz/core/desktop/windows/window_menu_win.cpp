// The main window's menu: its set-up calls, the table of its items, and their names.
#include "zovuz/core/desktop/windows/window_state_win.h"

#include "zovuz/core/base_helpers.h"
#include "zovuz/core/text/char_code_internal.h"

#include <string.h>

namespace {

void AddMenuItems(HMENU Menu)
{
    MainWindowData &w = MainWindowState;
    int count = GetMenuItemCount(Menu);
    for (int position = 0; position < count; ++position) {
        MenuItemInfoData info;
        if (GetMenuItemInfoByPosition(Menu, position, &info) != 0) continue;
        if (w.MenuItemNum < MENUITEM_MAXNUM) {
            MenuItemRecord &item = w.MenuItem[w.MenuItemNum++];
            item.Menu = Menu;
            item.Position = position;
            item.ID = info.ID;
            memcpy(item.Name, info.Name, sizeof(item.Name));
        }
        if (info.SubMenu != NULL) AddMenuItems(info.SubMenu);
    }
}

const MenuItemRecord *FindMenuItem(int ItemID)
{
    MainWindowData &w = MainWindowState;
    for (int i = 0; i < w.MenuItemNum; ++i)
        if (w.MenuItem[i].ID == ItemID) return &w.MenuItem[i];
    return NULL;
}

void ApplyMenuDisplay(void)
{
    MainWindowData &w = MainWindowState;
    if (w.MainWindow == NULL) return;
    int displayed = IsMenuDisplayed();
    if (displayed == w.Setup.MenuShownLastFlag) return;
    SetMenu(w.MainWindow, displayed ? w.Setup.Menu : NULL);
    w.MenuAttachedFlag = displayed;
    if (w.Setup.WindowModeFlag) ChangeWindowStyle(0);
    UpdateWindow(w.MainWindow);
    w.Setup.MenuShownLastFlag = displayed;
}

}  // namespace

void RebuildMenuItemTable(void)
{
    ClearMenuItemTable();
    if (MainWindowState.Setup.Menu != NULL) AddMenuItems(MainWindowState.Setup.Menu);
}

void ClearMenuItemTable(void) { MainWindowState.MenuItemNum = 0; }

void DestroyWindowMenu(void)
{
    MainWindowData &w = MainWindowState;
    if (w.Setup.Menu == NULL) return;
    if (w.MainWindow != NULL && w.MenuAttachedFlag) SetMenu(w.MainWindow, NULL);
    w.MenuAttachedFlag = 0;
    w.Setup.MenuShownLastFlag = 0;
    DestroyMenu(w.Setup.Menu);
    w.Setup.Menu = NULL;
}

int SetMenuAutoDisplayFlag(int Flag)
{
    MainWindowState.Setup.NotMenuAutoDisplayFlag = Flag ? 0 : 1;
    return 0;
}

int SetDisplayMenuFlag(int Flag)
{
    MainWindowData &w = MainWindowState;
    if (!w.Setup.MenuUseFlag) return 0;
    w.Setup.MenuHiddenFlag = Flag ? 0 : 1;
    ApplyMenuDisplay();
    return 0;
}

int SetUseMenuFlag(int Flag)
{
    MainWindowData &w = MainWindowState;
    if ((Flag != 0) == (w.Setup.MenuUseFlag != 0)) return 0;
    if (Flag) {
        if (w.Setup.Menu == NULL) {
            w.Setup.Menu = CreateMenu();
            if (w.Setup.Menu == NULL) return -1;
        }
        w.Setup.MenuUseFlag = 1;
        SetDisplayMenuFlag(1);
    } else {
        SetDisplayMenuFlag(0);
        DestroyWindowMenu();
        w.Setup.MenuUseFlag = 0;
    }
    w.MenuSelectNum = 0;
    ClearMenuItemTable();
    return 0;
}

int SetWindowMenuFromResource(int MenuID, MenuCommandCallback Callback)
{
    MainWindowData &w = MainWindowState;
    DestroyWindowMenu();
    ClearMenuItemTable();
    if (MenuID == -1) {
        w.Setup.MenuUseFlag = 0;
        return 0;
    }
    w.Setup.Menu = LoadMenuW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(MenuID & 0xFFFF));
    if (w.Setup.Menu == NULL) {
        w.Setup.MenuUseFlag = 0;
        return -1;
    }
    w.Setup.MenuUseFlag = 1;
    ApplyMenuDisplay();
    w.Setup.MenuCallback = Callback;
    RebuildMenuItemTable();
    return 0;
}

int IsMenuDisplayed(void)
{
    const MainWindowData &w = MainWindowState;
    if (w.MainWindow == NULL || !w.Setup.MenuUseFlag || w.Setup.MenuHiddenFlag) return 0;
    return (w.Setup.NotMenuAutoDisplayFlag || w.Setup.WindowModeFlag || w.FullScreenMenuShownCount > 0) ? 1 : 0;
}

int GetMenuItemInfoByPosition(HMENU__ *Menu, int Position, MenuItemInfoData *Info)
{
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE;
    if (!GetMenuItemInfoW(Menu, static_cast<UINT>(Position), TRUE, &item)) return -1;
    Info->Type = item.fType;
    if (item.fType & MFT_SEPARATOR) return 1;

    wchar_t name[MENUITEM_NAME_MAXLENGTH] = {};
    item = MENUITEMINFOW();
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
    item.dwTypeData = name;
    item.cch = MENUITEM_NAME_MAXLENGTH;
    if (!GetMenuItemInfoW(Menu, static_cast<UINT>(Position), TRUE, &item)) return -1;
    Info->Menu = Menu;
    Info->Position = Position;
    Info->ID = static_cast<int>(item.wID);
    Info->SubMenu = item.hSubMenu;
    Info->Type = item.fType;
    name[MENUITEM_NAME_MAXLENGTH - 1] = L'\0';
    memcpy(Info->Name, name, sizeof(Info->Name));
    return 0;
}

int GetMenuItemNameById(int ItemID, char *NameBuffer)
{
    if (!MainWindowState.Setup.MenuUseFlag) return -1;
    const MenuItemRecord *item = FindMenuItem(ItemID);
    if (item == NULL) return -1;
    MenuItemInfoData info;
    if (GetMenuItemInfoByPosition(item->Menu, item->Position, &info) != 0) return -1;
    // 127 characters take at most 4 bytes each in any current code, plus the terminator.
    ConvertCharCode(reinterpret_cast<const char *>(info.Name), CHAR_CODE_UTF16LE, NameBuffer,
                    (MENUITEM_NAME_MAXLENGTH - 1) * 4 + 4, GetCurrentCharCodeFormat());
    return 0;
}
