#pragma once
// The native Windows view of one window or page: a dialog of the system's dialog manager made
// from an in-memory template (CInMemoryTemplate), driven by control ID with the dialog item
// calls CDialogView names, and passing the user's commands on to the ui's events: button
// clicks and menu commands (WM_COMMAND), Enter, Esc and F1 from any of its controls (a page's
// included) with the ID of the control that has the focus, the system menu's close, minimise
// and added items (WM_SYSCOMMAND), the context menu's items, the tray icon's notifications and
// the registered show-window message. Work posted from other threads arrives as a private
// message. Where a window goes is the ui's to say: the view leaves it where it was made.
// User-interface thread only, except Post. A window that cannot be made leaves IsCreated()
// false; every operation on it, or on an ID the template does not have, does nothing.
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ui/DialogTemplate.h"
#include "ui/DialogView.h"
#include "ui/ViewEvents.h"

class CWin32DialogView : public CDialogView {
  public:
    // A window of `dialogTemplate` owned by `pOwner` (nullptr: none), its commands going to
    // `events`; `windowClass` is the class it registers as (empty: the dialog manager's).
    CWin32DialogView(HINSTANCE hInstance, const DialogTemplate& dialogTemplate,
                     CWin32DialogView* pOwner, CViewEvents& events, const std::string& windowClass);
    // A page of `pageTemplate` inside `parent`, hidden, at the parent's top left, its controls
    // in the parent's tab order after the parent's control `nInsertAfterId`.
    CWin32DialogView(HINSTANCE hInstance, const DialogTemplate& pageTemplate,
                     CWin32DialogView& parent, int nInsertAfterId);
    ~CWin32DialogView() override;
    CWin32DialogView(const CWin32DialogView&) = delete;
    CWin32DialogView& operator=(const CWin32DialogView&) = delete;

    bool IsCreated() const { return m_hWnd != nullptr; }
    HWND Window() const { return m_hWnd; }
    CViewEvents& Events() const { return *m_pEvents; }
    // The message the window's tray icon sends its notifications with (0: none).
    void SetTrayCallbackMessage(unsigned nMessage) { m_uTrayMessage = nMessage; }

    void Post(std::function<void()> work) override;

    void SetItemText(int nId, const std::string& text) override;
    std::string GetItemText(int nId) const override;
    void EnableItem(int nId, bool bEnable) override;
    bool IsItemEnabled(int nId) const override;
    void ShowItem(int nId, bool bShow) override;
    bool IsItemShown(int nId) const override;
    int GetFocus() const override;
    void GotoDlgCtrl(int nId) override;
    void CheckItem(int nId, bool bCheck) override;
    bool IsItemChecked(int nId) const override;
    void ResetContent(int nId) override;
    void AddString(int nId, const std::string& text) override;
    void SetCurSel(int nId, int nIndex) override;
    void SetAddress(int nId, std::uint32_t dwAddress) override;
    std::uint32_t GetAddress(int nId) const override;
    int GetListClientWidth(int nId) const override;
    void InsertListColumn(int nId, int nColumn, const std::string& heading, int nWidth,
                          int nAlign) override;
    void DeleteAllListItems(int nId) override;
    void AddListRow(int nId, const std::vector<std::string>& texts) override;
    void SetListSource(int nId, const CListSource* pSource) override;
    void SetListItemCount(int nId, int nCount) override;
    void SetListItemSelected(int nId, int nIndex, bool bSelected) override;
    int GetListTopIndex(int nId) const override;
    int GetListCountPerPage(int nId) const override;
    void SetListTopIndex(int nId, int nTop) override;
    void SetProgressRange(int nId, int nLower, int nUpper) override;
    void SetProgressPos(int nId, int nPos) override;
    ViewRect GetItemRect(int nId) const override;
    void MoveItem(int nId, int x, int y) override;

    ViewRect GetWindowRect() const override;
    ViewRect GetWorkArea() const override;
    void SetWindowSize(int nWidth, int nHeight) override;
    void MoveWindow(int x, int y) override;
    void ShowWindow(int nCmdShow) override;
    void SetForegroundWindow() override;
    void BringToFront() override;
    void SetTopMost(bool bTopMost) override;
    void AppendSystemMenuItem(unsigned nId, const std::string& text) override;
    void AppendContextMenuItem(unsigned nId, const std::string& text) override;
    void AcceptShowWindowRequests() override;

    int RunModal() override;
    void EndDialog(int nResult) override;

    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned nFlags) override;
    bool ChooseOpenFile(const std::string& filter, std::string& path) override;
    bool ChooseFolder(const std::string& title, std::string& folder) override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Answers a message whose result the sender reads (DWLP_MSGRESULT).
    INT_PTR Answer(LRESULT result);
    void OnGetDispInfo(const NMHDR& header, LPARAM lParam);
    void RunPostedWork();
    // Enter and Esc for this window go to the ui instead of the dialog manager.
    bool PassKeyToEvents(const MSG& message);
    // The ID of the control of this window or of one of its pages that `hFocus` is or lies in.
    int ControlIdOf(HWND hFocus) const;
    bool IsComboList(HWND hItem) const;
    HWND Item(int nId) const;
    bool IsActive() const;
    // The context menu at `lParam` (WM_CONTEXTMENU's screen position; -1: from the keyboard).
    void TrackContextMenu(LPARAM lParam);

    HWND m_hWnd = nullptr;
    CWin32DialogView* m_pOwner = nullptr;
    CWin32DialogView* m_pParent = nullptr;  // a page's window
    CViewEvents* m_pEvents;
    std::vector<HWND> m_pages;
    std::vector<unsigned> m_systemMenuIds;
    std::vector<std::pair<unsigned, std::string>> m_contextMenu;
    unsigned m_uTrayMessage = 0;
    // While the window is inactive: the control that had the focus when it was deactivated, or
    // that GotoDlgCtrl chose since, which takes the focus when the window is active again.
    HWND m_hInactiveFocus = nullptr;
    bool m_bFocusChosenWhileInactive = false;
    UINT m_uShowWindowMessage = 0;
    std::map<int, const CListSource*> m_listSources;
    std::string m_dispText;  // the text a virtual list was last given, kept while it draws it
    std::wstring m_dispWideText;

    bool m_bRunning = false;
    bool m_bEnded = false;
    int m_nResult = 0;

    std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
};
