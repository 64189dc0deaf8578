#pragma once
// A view for the ui's tests, without any toolkit: every control of the template keeps its state
// by ID (text, enabled, visible, checked, combo items and selection, address, list rows and
// selection, progress, rectangle), the window its own (shown, minimised, topmost, ended), and a
// test acts on it as a user would (Click, Type, Select, PressKey, Close). Rectangles are the
// template's dialog units at 6 by 13 base units, so the window's pixel rules can be checked.
// The factory records every message box and answers the choosers from queues; a modal run does
// what the test queued for its template. Work posted from engine threads waits until the test
// runs it (RunPostedUntil), as a window's queue waits for its event loop.
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

#include "ui/DialogView.h"
#include "ui/ListSource.h"
#include "ui/ViewFactory.h"

class CRecordingFactory;

// The result a modal run reports when the test's action left the dialog open.
inline constexpr int kStillOpen = 99;

class CRecordingView : public CDialogView {
  public:
    struct Control {
        std::string kind;
        std::string text;
        bool enabled = true;
        bool visible = true;
        bool checked = false;
        std::vector<std::string> items;  // combo box
        int curSel = -1;
        std::uint32_t address = 0;
        std::vector<std::string> headings;  // report list
        std::vector<int> widths;
        std::vector<int> aligns;
        std::vector<std::vector<std::string>> rows;
        const CListSource* source = nullptr;  // virtual list
        int count = 0;
        std::set<int> selected;
        int top = 0;
        int lower = 0;  // progress bar
        int upper = 100;
        int pos = 0;
        ViewRect rect;
    };

    CRecordingView(CRecordingFactory& factory, const DialogTemplate& dialogTemplate,
                   CViewEvents* pEvents, CRecordingView* pParent);
    ~CRecordingView() override;

    const DialogTemplate& Template() const { return m_template; }
    // The control `nId`; a test fails when the template has none.
    Control& Item(int nId);
    const Control& Item(int nId) const;
    // The text the virtual list `nId` shows for item `nIndex`.
    std::string ListItemText(int nId, int nIndex) const;

    bool IsVisible() const { return m_bVisible; }
    bool IsMinimized() const { return m_bMinimized; }
    bool IsTopMost() const { return m_bTopMost; }
    bool IsEnded() const { return m_result.has_value(); }
    int Result() const { return m_result.value_or(-1); }
    const std::vector<std::pair<unsigned, std::string>>& SystemMenu() const { return m_systemMenu; }
    bool AcceptsShowWindowRequests() const { return m_bShowRequests; }
    CViewEvents& Events() const { return *m_pEvents; }

    // What a user does. Click presses an enabled, visible button (a check box toggles, a radio
    // button checks itself and clears the others) and sends its command; Type sets an edit's or
    // an editable combo box's text; Select picks a combo box's item; PressKey presses Enter or Esc
    // with the focus on `nFocusId`; Close uses the close box.
    void Click(int nId);
    void Type(int nId, const std::string& text);
    void Select(int nId, int nIndex);
    void PressKey(int nVirtualKey, int nFocusId);
    void Close();

    // Runs the work posted so far, and then what that work posts, until none is left.
    void RunPosted();
    // Runs posted work as it comes until `done` holds; false when `timeout` passed first.
    bool RunPostedUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

    void Post(std::function<void()> work) override;
    void SetItemText(int nId, const std::string& text) override;
    std::string GetItemText(int nId) const override;
    void EnableItem(int nId, bool bEnable) override;
    bool IsItemEnabled(int nId) const override;
    void ShowItem(int nId, bool bShow) override;
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
    ViewRect GetWindowRect() const override { return m_window; }
    void SetWindowSize(int nWidth, int nHeight) override;
    void MoveWindow(int x, int y) override;
    void ShowWindow(int nCmdShow) override;
    void SetForegroundWindow() override {}
    void BringToFront() override { m_nBroughtToFront++; }
    void SetTopMost(bool bTopMost) override { m_bTopMost = bTopMost; }
    void AppendSystemMenuItem(unsigned nId, const std::string& text) override;
    void AcceptShowWindowRequests() override { m_bShowRequests = true; }
    int RunModal() override;
    void EndDialog(int nResult) override;
    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned nFlags) override;
    bool ChooseOpenFile(const std::string& filter, std::string& path) override;
    bool ChooseFolder(const std::string& title, std::string& folder) override;

    // How many items the data list shows per page.
    static constexpr int kCountPerPage = 10;

  private:
    CRecordingFactory& m_factory;
    DialogTemplate m_template;
    CViewEvents* m_pEvents;
    std::map<int, Control> m_controls;
    ViewRect m_window;
    bool m_bVisible = false;
    bool m_bMinimized = false;
    bool m_bTopMost = false;
    int m_nBroughtToFront = 0;
    std::optional<int> m_result;
    std::vector<std::pair<unsigned, std::string>> m_systemMenu;
    bool m_bShowRequests = false;

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_work;
};

class CRecordingTrayView : public CTrayView {
  public:
    explicit CRecordingTrayView(CRecordingFactory& factory) : m_factory(factory) {}
    bool AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip,
                 const MenuTemplate& menu) override;
    void RemoveIcon() override;
    void TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) override;

  private:
    CRecordingFactory& m_factory;
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
                                                  CDialogView* pOwner,
                                                  CViewEvents& events) override;
    std::unique_ptr<CDialogView> CreatePageView(const DialogTemplate& pageTemplate,
                                                CDialogView& parent, int nInsertAfterId) override;
    std::unique_ptr<CTrayView> CreateTrayView(CDialogView& owner) override;

    // The view of template `nTemplateId` made last that still exists; a test fails without one.
    CRecordingView& Find(int nTemplateId) const;
    bool Exists(int nTemplateId) const;
    // What the next modal run of template `nTemplateId` does.
    void OnModal(int nTemplateId, std::function<void(CRecordingView&)> action);

    // Message boxes shown so far, by any window; only their texts, for short comparisons.
    std::vector<RecordedBox> boxes;
    std::vector<std::string> BoxTexts() const;
    // Paths the open-file chooser returns in turn (none left: cancelled), and the filters it
    // was opened with.
    std::deque<std::string> chosenFiles;
    std::vector<std::string> fileFilters;
    // What the folder chooser returns (nullopt: cancelled), and the titles it was opened with.
    std::optional<std::string> chosenFolder;
    std::vector<std::string> folderTitles;
    // The tray: whether there is a notification area, and what was asked of it.
    bool trayAvailable = true;
    bool trayShown = false;
    unsigned trayId = 0;
    unsigned trayCallback = 0;
    std::string trayTip;
    std::vector<std::string> trayMenu;  // item texts, "-" for a separator
    int trayPopups = 0;
    int trayDefaultPos = -1;

  private:
    friend class CRecordingView;
    std::vector<CRecordingView*> m_views;
    std::map<int, std::deque<std::function<void(CRecordingView&)>>> m_modalActions;
};
