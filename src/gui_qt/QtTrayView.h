#pragma once
// The Qt view of the main window's tray icon: a QSystemTrayIcon with the window's icon and tip.
// The notification area pops the icon's menu up by itself on a right click (some areas show no
// other), so the menu is set on the icon; a double click is passed on to the window's events as
// the double-click notification, and the menu's items as commands. TrackPopupMenu shows a fresh
// menu at the cursor, gone once it closes.
// GUI thread only. AddIcon reports a missing notification area by returning false.
#include <QMenu>
#include <QPointer>
#include <memory>
#include <optional>

#include "ui/TrayView.h"

class CQtDialogView;
class QMenu;
class QSystemTrayIcon;

class CQtTrayView : public CTrayView {
  public:
    explicit CQtTrayView(CQtDialogView& owner);
    ~CQtTrayView() override;

    bool AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip,
                 const MenuTemplate& menu) override;
    void RemoveIcon() override;
    void TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) override;

    // The icon while it is shown, and the menu popped up last while it is still open.
    QSystemTrayIcon* Icon() const { return m_icon.get(); }
    QMenu* OpenPopupMenu() const { return m_popup.data(); }

    // Test hook: while set, AddIcon treats the notification area as present (true) or absent
    // (false) whatever the platform says, so routing can be tested on a display without one.
    static void SetTrayAvailableForTesting(std::optional<bool> bAvailable);

  private:
    // A fresh menu of `menu` whose items run their commands, item `nDefaultPos` the default.
    QMenu* BuildMenu(const MenuTemplate& menu, int nDefaultPos);

    CQtDialogView& m_owner;
    unsigned m_nId = 0;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<QMenu> m_contextMenu;
    QPointer<QMenu> m_popup;
};
