#pragma once
// The native tray icon of a window: Shell_NotifyIconA with the program's icon and tip, its
// notifications sent to the window as the callback message the ui chose (the window's view
// passes them on), and the popup menu at the cursor with TrackPopupMenu, whose chosen item
// reaches the window as a menu command.
// User-interface thread only. AddIcon reports a missing notification area by its result.
#include <windows.h>

#include "ui/TrayView.h"

class CWin32DialogView;

class CWin32TrayView : public CTrayView {
  public:
    CWin32TrayView(HINSTANCE hInstance, CWin32DialogView& owner);
    ~CWin32TrayView() override;
    CWin32TrayView(const CWin32TrayView&) = delete;
    CWin32TrayView& operator=(const CWin32TrayView&) = delete;

    bool AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip) override;
    void RemoveIcon() override;
    void TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) override;

  private:
    HINSTANCE m_hInstance;
    CWin32DialogView& m_owner;
    bool m_bAdded = false;
    unsigned m_uId = 0;
};
