#pragma once
// The Qt view of the main window's tray icon: a QSystemTrayIcon with the window's icon and tip.
// The clicks on the icon go to the window's events as the notifications a tray icon sends (a
// click as the left button's release, a double click, the context request as the right button's
// release), so the ui's tray icon decides what they mean; the icon has no menu of its own.
// TrackPopupMenu shows a fresh menu at the cursor, gone once it closes, its items' commands going
// to the window's events.
// GUI thread only. AddIcon reports a missing notification area by returning false.
#include <QMenu>
#include <QPointer>
#include <memory>

#include "ui/TrayView.h"

class CQtDialogView;
class QSystemTrayIcon;

class CQtTrayView : public CTrayView {
  public:
    explicit CQtTrayView(CQtDialogView& owner);
    ~CQtTrayView() override;

    bool AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip) override;
    void RemoveIcon() override;
    void TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) override;

    // The icon while it is shown, and the menu popped up last while it is still open.
    QSystemTrayIcon* Icon() const { return m_icon.get(); }
    QMenu* OpenPopupMenu() const { return m_popup.data(); }

  protected:
    // Whether the desktop has a notification area to show the icon in.
    virtual bool HasNotificationArea() const;

  private:
    CQtDialogView& m_owner;
    unsigned m_nId = 0;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QPointer<QMenu> m_popup;
};
