#pragma once
// What a view tells the ui: the user's commands, by control or command ID, as a dialog's window
// procedure receives them. A view only translates its toolkit's events into these calls; what
// they mean is the ui's. User-interface thread only. Nothing is reported back except the results
// the system itself expects (tray notifications, the show-window request).
class CViewEvents {
  public:
    // A push button, check box or radio button was clicked, or a menu item (tray menu) chosen.
    virtual void OnCommand(int nId) = 0;
    // Enter (kVkReturn), Esc (kVkEscape) or F1 (kVkF1) was pressed while control `nFocusId` of
    // the dialog, or of a page inside it, had the keyboard focus (-1: none of them). The view
    // passes these keys on from every control and does nothing else with them.
    virtual void OnKeyDown(int nVirtualKey, int nFocusId) = 0;
    // A system command: kScClose (the close box), kScMinimize (the user minimised the window,
    // with its minimise box or the window manager's own means), or an item the ui added to the
    // system menu or the context menu.
    virtual void OnSysCommand(unsigned nId) = 0;
    // A notification of the window's tray icon: wParam the icon's id, lParam the mouse message.
    virtual long OnTrayNotification(unsigned long wParam, long lParam) {
        (void)wParam;
        (void)lParam;
        return 0;
    }
    // Another program asked the window to show itself; the result is the answer it gets.
    virtual long OnShowWindowRequest(long lParam) {
        (void)lParam;
        return 0;
    }

  protected:
    ~CViewEvents() = default;
};
