#pragma once
// The Qt view of one window or page: a dialog whose widgets are built from its template
// (CTemplateWidgets), driven by control ID as CDialogView says, and passing the user's commands
// on to the ui's events: button clicks, Enter, Esc and F1 from any of its controls (a page's
// included) with the ID of the control that has the focus, the close box, a minimise by the
// window manager, the context menu's items and show-window requests from other programs (the
// per-user socket of CShowWindowListener, watched from the event loop). The window manager owns
// the system menu, so nothing is added to it.
// GUI thread only, except Post. Nothing here fails; an ID the template does not have is ignored.
#include <QDialog>
#include <QHash>
#include <memory>

#include "gui_qt/TemplateWidgets.h"
#include "ui/DialogTemplate.h"
#include "ui/DialogView.h"
#include "ui/ViewEvents.h"

class CLineListModel;
class CShowWindowListener;
class QEventLoop;
class QSocketNotifier;
class QStandardItemModel;

class CQtDialogView : public QDialog, public CDialogView {
    Q_OBJECT
  public:
    // A window of `dialogTemplate` owned by `pOwner`, its commands going to `events`. A template
    // with the style "appwindow" is the program's main window, which runs without being modal;
    // any other window runs modal to the program.
    CQtDialogView(const DialogTemplate& dialogTemplate, CQtDialogView* pOwner, CViewEvents& events);
    // A page of `pageTemplate` inside `parent`, hidden, its tab stops after the parent's control
    // `nInsertAfterId`.
    CQtDialogView(const DialogTemplate& pageTemplate, CQtDialogView& parent, int nInsertAfterId);
    ~CQtDialogView() override;

    // The widget of control `nId`, and the events its commands go to (a page: its parent's).
    QWidget* Control(int nId) const { return m_widgets.Control(nId); }
    CViewEvents& Events() const { return *m_pEvents; }

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

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QStandardItemModel* RowModel(int nId);
    // The model of virtual list `nId`, made on first use; nullptr for any other control.
    CLineListModel* VirtualModel(int nId);

    CTemplateWidgets m_widgets;
    CViewEvents* m_pEvents;
    bool m_bMainWindow = false;
    bool m_bPage = false;
    QEventLoop* m_pLoop = nullptr;
    bool m_bEnded = false;
    int m_nResult = 0;
    QHash<int, QStandardItemModel*> m_rowModels;
    std::unique_ptr<CShowWindowListener> m_pListener;
    QSocketNotifier* m_pListenerNotifier = nullptr;
};
