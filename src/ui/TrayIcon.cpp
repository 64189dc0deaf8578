#include "ui/TrayIcon.h"

#include "platform/Trace.h"
#include "ui/DialogView.h"
#include "ui/MenuTemplate.h"
#include "ui/ViewConstants.h"
#include "ui/ViewEvents.h"

CTrayIcon::~CTrayIcon() {
    RemoveIcon();
}

bool CTrayIcon::Create(std::unique_ptr<CTrayView> pView, CDialogView& owner, CViewEvents& commands,
                       unsigned uCallbackMessage, const std::string& strTip, unsigned uID) {
    RemoveIcon();
    m_pView = std::move(pView);
    m_pOwner = &owner;
    m_pCommands = &commands;
    m_uID = uID;
    m_uCallbackMessage = uCallbackMessage;
    m_strTip = strTip.substr(0, kMaxTipLength);
    m_bEnabled = m_pView != nullptr && m_pView->AddIcon(m_uID, m_uCallbackMessage, m_strTip);
    if (!m_bEnabled) {
        Trace("[CTrayIcon::Create] no notification area: the program runs without a tray icon");
        m_pView.reset();
        return false;
    }
    Trace("[CTrayIcon::Create] icon installed");
    return true;
}

bool CTrayIcon::RemoveIcon() {
    if (!m_bEnabled) {
        return false;
    }
    m_pView->RemoveIcon();
    m_pView.reset();
    m_bEnabled = false;
    return true;
}

long CTrayIcon::OnTrayNotification(unsigned long wParam, long lParam) {
    if (!m_bEnabled || wParam != m_uID) {
        return 0;
    }
    const long mouseMessage = lParam & 0xFFFF;
    if (mouseMessage != kWmRButtonUp && mouseMessage != kWmLButtonDblClk) {
        return 1;
    }
    // The menu is loaded afresh for every notification.
    const MenuTemplate menu = MenuTemplate::Load(static_cast<int>(m_uID));
    if (menu.items.empty()) {
        return 0;
    }
    m_pOwner->SetForegroundWindow();
    if (mouseMessage == kWmRButtonUp) {
        m_pView->TrackPopupMenu(menu, 0);
    } else {
        // A double click runs whatever command comes first in the menu.
        m_pCommands->OnCommand(menu.items.front().id);
    }
    return 1;
}
