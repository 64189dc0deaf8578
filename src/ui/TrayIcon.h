#pragma once
// The notification-area icon of the main window with its popup menu (menu template 132, first
// item the default). Notifications are routed by icon id and mouse message as the window's tray
// callback expects: a right button release pops the menu up at the cursor, a double click runs
// the menu's first command, anything else is accepted and ignored. Chosen commands go to the
// command handler given to Create.
// GUI thread only. Create reports failure (no notification area, no window) by returning false;
// the program then runs without an icon.
#include <QIcon>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include <QMenu>
class QSystemTrayIcon;
class QWidget;

class CTrayIcon {
  public:
    using CommandHandler = std::function<void(int nCommandId)>;

    // Mouse messages a notification carries in the low 16 bits of its lParam.
    static constexpr int kMouseLeftButtonUp = 0x202;
    static constexpr int kMouseLeftDoubleClick = 0x203;
    static constexpr int kMouseRightButtonUp = 0x205;
    static constexpr int kMouseMiddleButtonUp = 0x208;
    // The longest tip the icon takes; a longer one is cut.
    static constexpr int kMaxTipLength = 127;

    CTrayIcon();
    ~CTrayIcon();  // removes the icon
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    bool Create(QWidget* pWnd, unsigned uCallbackMessage, const QString& strTip, const QIcon& hIcon,
                unsigned uID, CommandHandler onCommand);
    bool RemoveIcon();
    // 1 when the notification was for this icon, 0 otherwise (or when its menu cannot be made).
    long OnTrayNotification(unsigned long wParam, long lParam);

    bool IsEnabled() const { return m_bEnabled; }
    unsigned Id() const { return m_uID; }
    QString Tip() const { return m_strTip; }
    // The menu popped up by the last right click, while it is still open.
    QMenu* OpenPopupMenu() const { return m_popup.data(); }

    // Test hook: while set, Create treats the notification area as present (true) or absent
    // (false) whatever the platform says, so routing can be tested on a display without one.
    static void SetTrayAvailableForTesting(std::optional<bool> bAvailable);

  private:
    bool m_bEnabled = false;
    QWidget* m_pWnd = nullptr;
    unsigned m_uID = 0;
    unsigned m_uCallbackMessage = 0;
    QString m_strTip;
    CommandHandler m_onCommand;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<QMenu> m_contextMenu;
    QPointer<QMenu> m_popup;
};
