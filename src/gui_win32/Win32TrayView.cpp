#include "gui_win32/Win32TrayView.h"

#include <shellapi.h>

#include "gui_win32/Win32DialogView.h"
#include "gui_win32/Win32ViewFactory.h"

CWin32TrayView::CWin32TrayView(HINSTANCE hInstance, CWin32DialogView& owner)
    : m_hInstance(hInstance), m_owner(owner) {}

CWin32TrayView::~CWin32TrayView() {
    RemoveIcon();
}

bool CWin32TrayView::AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip) {
    RemoveIcon();
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = m_owner.Window();
    data.uID = nId;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = nCallbackMessage;
    data.hIcon = LoadIconA(m_hInstance, MAKEINTRESOURCEA(kProgramIconId));
    lstrcpynA(data.szTip, tip.c_str(), sizeof data.szTip);
    m_owner.SetTrayCallbackMessage(nCallbackMessage);
    m_bAdded = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
    m_uId = nId;
    if (!m_bAdded) {
        m_owner.SetTrayCallbackMessage(0);
    }
    return m_bAdded;
}

void CWin32TrayView::RemoveIcon() {
    if (!m_bAdded) {
        return;
    }
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = m_owner.Window();
    data.uID = m_uId;
    Shell_NotifyIconA(NIM_DELETE, &data);
    m_owner.SetTrayCallbackMessage(0);
    m_bAdded = false;
}

void CWin32TrayView::TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) {
    const HMENU hMenu = CreatePopupMenu();
    if (hMenu == nullptr) {
        return;
    }
    for (const MenuItemTemplate& item : menu.items) {
        if (item.separator) {
            AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuA(hMenu, MF_STRING, static_cast<UINT_PTR>(item.id), item.text.c_str());
        }
    }
    SetMenuDefaultItem(hMenu, static_cast<UINT>(nDefaultPos), TRUE);
    POINT cursor{};
    GetCursorPos(&cursor);
    ::TrackPopupMenu(hMenu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_owner.Window(), nullptr);
    // The menu of an icon closes properly only once its window has had a message after it.
    PostMessageA(m_owner.Window(), WM_NULL, 0, 0);
    DestroyMenu(hMenu);
}
