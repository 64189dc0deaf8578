#pragma once
// A view for the ui's tests, without any toolkit: every control of the template keeps its state
// by ID (text, enabled, visible, checked, combo items and selection, address, list rows and
// selection, progress, rectangle), the window its own (shown, minimised, topmost, ended, the
// control with the keyboard focus, which a disabled or hidden control loses to none, as with the
// dialog manager), and a test acts on it as a user would (Click, Type, Select, PressKey, Close).
// Rectangles are the template's dialog units at 6 by 13 base units, so the window's pixel rules can
// be checked. The factory records every message box and the tray, answers the choosers from queues,
// and a modal run does what the test queued for its template. Work posted from engine threads waits
// until the test runs it (RunPostedUntil), as a window's queue waits for its event loop.
// The test's thread is the user-interface thread; Post may be called from any thread.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ui/ListSource.h"
#include "ui/ViewConstants.h"
#include "ui/ViewFactory.h"

class CRecordingFactory;

// The result a modal run reports when the test's action left the dialog open.
inline constexpr int kStillOpen = 99;

class CRecordingView : public CDialogView {
  public:
    struct Control {
        std::string kind;
        std::string text;
        bool enabled = true, visible = true, checked = false, bDropList = false, bSingleSel = false;
        std::vector<std::string> items;  // combo box
        int curSel = -1;
        std::uint32_t address = 0;
        std::vector<std::string> headings;  // report list
        std::vector<int> widths, aligns;
        std::vector<std::vector<std::string>> rows;
        const CListSource* source = nullptr;  // virtual list
        int count = 0, top = 0;
        std::set<int> selected;
        int lower = 0, upper = 0, pos = 0;  // progress bar
        ViewRect rect;
    };
    // How many items a list shows per page.
    static constexpr int kCountPerPage = 10;

    CRecordingView(CRecordingFactory& factory, const DialogTemplate& dialogTemplate,
                   CViewEvents* pEvents);
    ~CRecordingView() override;

    const DialogTemplate& Template() const { return m_template; }
    // The control `nId`; a test fails when the template has none.
    Control& Item(int nId) const;
    // The text the virtual list `nId` shows for item `nIndex`.
    std::string ListItemText(int nId, int nIndex) const {
        return Item(nId).source->ItemText(nIndex);
    }
    bool IsVisible() const { return m_bVisible; }
    bool IsMinimized() const { return m_bMinimized; }
    bool IsTopMost() const { return m_bTopMost; }
    bool IsEnded() const { return m_result.has_value(); }
    int Result() const { return m_result.value_or(-1); }
    CViewEvents& Events() const { return *m_pEvents; }
    std::vector<std::pair<unsigned, std::string>> systemMenu, contextMenu;
    // The screen's work area every window is placed in.
    static constexpr ViewRect kWorkArea{0, 0, 1280, 984};
    bool bShowRequests = false;

    // What a user does. Click presses an enabled, visible button (a check box toggles, a radio
    // button checks itself and clears the others) and sends its command; Type sets an edit's or
    // a combo box's field; Select picks a combo box's item.
    void Click(int nId);
    void Type(int nId, const std::string& text) { Item(nId).text = text, Item(nId).curSel = -1; }
    void Select(int nId, int nIndex) { SetCurSel(nId, nIndex); }
    void PressKey(int nVirtualKey, int nFocusId) { m_pEvents->OnKeyDown(nVirtualKey, nFocusId); }
    // A key pressed where the keyboard focus is.
    void PressKey(int nVirtualKey) { m_pEvents->OnKeyDown(nVirtualKey, m_nFocus); }
    void Close() { m_pEvents->OnSysCommand(kScClose); }

    // Runs posted work as it comes until `done` holds; false when `timeout` passed first.
    bool RunPostedUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void RunPosted() {
        RunPostedUntil([] { return true; });
    }

    void Post(std::function<void()> work) override;
    void SetItemText(int nId, const std::string& text) override;
    std::string GetItemText(int nId) const override { return Item(nId).text; }
    // As with the dialog manager, a control that is disabled or hidden loses the focus, to no
    // control at all.
    void EnableItem(int nId, bool bEnable) override {
        Item(nId).enabled = bEnable;
        m_nFocus = !bEnable && m_nFocus == nId ? -1 : m_nFocus;
    }
    bool IsItemEnabled(int nId) const override { return Item(nId).enabled; }
    void ShowItem(int nId, bool bShow) override {
        Item(nId).visible = bShow;
        m_nFocus = !bShow && m_nFocus == nId ? -1 : m_nFocus;
    }
    bool IsItemShown(int nId) const override { return Item(nId).visible; }
    int GetFocus() const override { return m_nFocus; }
    void GotoDlgCtrl(int nId) override;
    void CheckItem(int nId, bool bCheck) override { Item(nId).checked = bCheck; }
    bool IsItemChecked(int nId) const override { return Item(nId).checked; }
    void ResetContent(int nId) override { Item(nId).items.clear(), SetCurSel(nId, -1); }
    void AddString(int nId, const std::string& text) override { Item(nId).items.push_back(text); }
    void SetCurSel(int nId, int nIndex) override;
    void SetAddress(int nId, std::uint32_t dwAddress) override { Item(nId).address = dwAddress; }
    std::uint32_t GetAddress(int nId) const override { return Item(nId).address; }
    int GetListClientWidth(int nId) const override { return Item(nId).rect.width - 2; }
    void InsertListColumn(int nId, int nColumn, const std::string& heading, int nWidth,
                          int nAlign) override;
    void DeleteAllListItems(int nId) override { Item(nId).rows.clear(); }
    void AddListRow(int nId, const std::vector<std::string>& texts) override {
        Item(nId).rows.push_back(texts);
    }
    void SetListSource(int nId, const CListSource* pSource) override { Item(nId).source = pSource; }
    void SetListItemCount(int nId, int nCount) override;
    void SetListItemSelected(int nId, int nIndex, bool bSelected) override;
    int GetListTopIndex(int nId) const override { return Item(nId).top; }
    int GetListCountPerPage(int) const override { return kCountPerPage; }
    void SetListTopIndex(int nId, int nTop) override;
    void SetProgressRange(int nId, int nLower, int nUpper) override {
        Item(nId).lower = nLower, Item(nId).upper = nUpper;
    }
    void SetProgressPos(int nId, int nPos) override { Item(nId).pos = nPos; }
    ViewRect GetItemRect(int nId) const override { return Item(nId).rect; }
    void MoveItem(int nId, int x, int y) override { Item(nId).rect.x = x, Item(nId).rect.y = y; }
    ViewRect GetWindowRect() const override { return m_window; }
    ViewRect GetWorkArea() const override { return kWorkArea; }
    void SetWindowSize(int nWidth, int nHeight) override {
        m_window.width = nWidth, m_window.height = nHeight;
    }
    void MoveWindow(int x, int y) override { m_window.x = x, m_window.y = y; }
    void ShowWindow(int nCmdShow) override;
    void SetForegroundWindow() override {}
    void BringToFront() override {}
    void SetTopMost(bool bTopMost) override { m_bTopMost = bTopMost; }
    void AppendSystemMenuItem(unsigned nId, const std::string& text) override {
        systemMenu.emplace_back(nId, text);
    }
    void AppendContextMenuItem(unsigned nId, const std::string& text) override {
        contextMenu.emplace_back(nId, text);
    }
    void AcceptShowWindowRequests() override { bShowRequests = true; }
    int RunModal() override;
    void EndDialog(int nResult) override { m_result = nResult, m_bVisible = false; }
    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned nFlags) override;
    bool ChooseOpenFile(const std::string& filter, std::string& path) override;
    bool ChooseFolder(const std::string& title, std::string& folder) override;

  private:
    CRecordingFactory& m_factory;
    DialogTemplate m_template;
    CViewEvents* m_pEvents;
    mutable std::map<int, Control> m_controls;
    ViewRect m_window;
    bool m_bVisible = false, m_bMinimized = false, m_bTopMost = false;
    int m_nFocus = -1;
    std::optional<int> m_result;

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_work;
};

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned flags = 0;
};

class CRecordingFactory : public CViewFactory {
  public:
    ~CRecordingFactory() override;

    std::unique_ptr<CDialogView> CreateDialogView(const DialogTemplate& dialogTemplate,
                                                  CDialogView*, CViewEvents& events) override {
        return std::make_unique<CRecordingView>(*this, dialogTemplate, &events);
    }
    std::unique_ptr<CDialogView> CreatePageView(const DialogTemplate& pageTemplate,
                                                CDialogView& parent, int) override {
        return std::make_unique<CRecordingView>(*this, pageTemplate,
                                                &dynamic_cast<CRecordingView&>(parent).Events());
    }
    std::unique_ptr<CTrayView> CreateTrayView(CDialogView&) override;

    // The view of template `nTemplateId` made last that still exists (a test fails without).
    CRecordingView& Find(int nTemplateId) const;
    bool Exists(int nTemplateId) const;
    // What the next modal run of template `nTemplateId` does.
    void OnModal(int nTemplateId, std::function<void(CRecordingView&)> action) {
        m_modalActions[nTemplateId].push_back(std::move(action));
    }

    // Message boxes shown so far, by any window.
    std::vector<RecordedBox> boxes;
    // Paths the open-file chooser returns in turn (none left: cancelled), and its filters.
    std::deque<std::string> chosenFiles;
    std::vector<std::string> fileFilters;
    // What the folder chooser returns (nullopt: cancelled), and its titles.
    std::optional<std::string> chosenFolder;
    std::vector<std::string> folderTitles;
    // The tray: whether there is a notification area, and what was asked of it.
    bool trayAvailable = true, trayShown = false;
    unsigned trayId = 0, trayCallback = 0;
    std::string trayTip;
    std::vector<std::string> trayMenu;  // the menu popped up last: texts, "-" for a separator
    int trayPopups = 0, trayDefaultPos = -1;

  private:
    friend class CRecordingView;
    std::vector<CRecordingView*> m_views;
    std::map<int, std::deque<std::function<void(CRecordingView&)>>> m_modalActions;
};
