#pragma once
// The notification-area icon of the main window with its popup menu (menu template 132, first
// item the default), shown through a tray view. Notifications are routed by icon id and mouse
// message as the window's tray callback expects: a right button release pops the menu up at the
// cursor, a double click runs the menu's first command, anything else is accepted and ignored.
// User-interface thread only. Create reports failure (no notification area, no view) by
// returning false; the program then runs without an icon.
#include <memory>
#include <string>

#include "ui/TrayView.h"

class CDialogView;
class CViewEvents;

class CTrayIcon {
  public:
    // The longest tip the icon takes; a longer one is cut.
    static constexpr std::size_t kMaxTipLength = 127;

    CTrayIcon() = default;
    ~CTrayIcon();  // removes the icon
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Shows the icon through `pView` for the window `owner`, whose `commands` get the menu's
    // commands.
    bool Create(std::unique_ptr<CTrayView> pView, CDialogView& owner, CViewEvents& commands,
                unsigned uCallbackMessage, const std::string& strTip, unsigned uID);
    bool RemoveIcon();
    // 1 when the notification was for this icon, 0 otherwise (or when its menu cannot be made).
    long OnTrayNotification(unsigned long wParam, long lParam);

    bool IsEnabled() const { return m_bEnabled; }
    unsigned Id() const { return m_uID; }
    const std::string& Tip() const { return m_strTip; }
    // The view showing the icon while it is installed.
    const CTrayView* View() const { return m_pView.get(); }

  private:
    bool m_bEnabled = false;
    std::unique_ptr<CTrayView> m_pView;
    CDialogView* m_pOwner = nullptr;
    CViewEvents* m_pCommands = nullptr;
    unsigned m_uID = 0;
    unsigned m_uCallbackMessage = 0;
    std::string m_strTip;
};
