#include "ui/TillstreamDlg.h"

#include <chrono>

#include "datafile/Conversion.h"
#include "datafile/DataFileKind.h"
#include "engine/EngineShutdown.h"
#include "engine/ListPaging.h"
#include "options/OptionStore.h"
#include "platform/FileSystem.h"
#include "platform/Trace.h"
#include "ui/AboutDlg.h"
#include "ui/InputOptionDlg.h"
#include "ui/OptionStatusRows.h"
#include "ui/OutputOptionDlg.h"
#include "ui/ResourceStrings.h"

namespace {
constexpr int kDataColumnWidth = 450;
// The option status list's columns and their shares of the list's client width, in percent.
constexpr const char* kOptionColumns[4] = {"Index", "Option", "Value", "Etc"};
constexpr double kOptionColumnShares[4] = {10, 30, 50, 10};
// How long the window's end waits for each engine before it goes on without it.
constexpr std::chrono::milliseconds kEngineEndWait{10000};
constexpr char kThreadStartError[] = "Thread Start Error";
constexpr char kOpenFileFilter[] = "All Files(*.*)";
}  // namespace

CTillstreamDlg::CTillstreamDlg(CViewFactory& factory)
    : CDialog(factory, IDD_TILLSTREAM_DIALOG),
      m_option(MakeDefaultOptionRecord()),
      m_socketClient(this),
      m_socketServer(this),
      m_messageBox(*this,
                   [this](const std::string& text, const std::string& caption) {
                       if (View() != nullptr) {
                           View()->ShowMessageBox(text, caption, kMbOk);
                       }
                   }),
      m_playbackHost(*this, *this, m_option, m_messageBox),
      m_captureHost(*this, *this, m_messageBox),
      m_outputPlayback(m_playbackHost, m_socketClient),
      m_inputCapture(m_captureHost) {}

CTillstreamDlg::~CTillstreamDlg() {
    if (!Shutdown()) {
        // An engine is still inside a call on the members destroyed below; see CEngineShutdown.
        CEngineShutdown::EndProgramNow(0);
    }
}

void CTillstreamDlg::Post(std::function<void()> work) {
    // The view exists from before the first engine run until after the engines have ended.
    if (CDialogView* view = View()) {
        view->Post(std::move(work));
    }
}

bool CTillstreamDlg::OnInitDialog() {
    CDialogView& view = *View();

    // The About item goes at the end of the system menu, after a separator. Not every window
    // manager lets a program add to that menu, so the item is in the window's context menu as
    // well, and F1 opens it too.
    const std::string aboutText = LoadResourceString(IDS_ABOUTBOX);
    if (!aboutText.empty()) {
        view.AppendSystemMenuItem(0, std::string());
        view.AppendSystemMenuItem(IDM_ABOUTBOX, aboutText);
        view.AppendContextMenuItem(IDM_ABOUTBOX, aboutText);
    }

    InitData();

    view.InsertListColumn(IDC_LIST_DATA, 0, "Content", kDataColumnWidth, kColumnCenter);
    view.SetListSource(IDC_LIST_DATA, &m_lines);
    view.SetProgressRange(IDC_PROGRESS, 0, 100);
    view.SetProgressPos(IDC_PROGRESS, 0);
    // Column widths are fixed shares of the list's client width, cut to whole pixels.
    const int width = view.GetListClientWidth(IDC_LIST_OPTION);
    for (int column = 0; column < 4; ++column) {
        view.InsertListColumn(IDC_LIST_OPTION, column, kOptionColumns[column],
                              static_cast<int>(width * 0.01 * kOptionColumnShares[column]),
                              kColumnLeft);
    }

    RefreshOptionStatus();

    m_trayIcon.Create(Factory().CreateTrayView(view), view, *this, WM_TRAY_NOTIFICATION,
                      Template().caption, IDR_TRAY_POPUP);
    view.AcceptShowWindowRequests();
    return true;
}

void CTillstreamDlg::InitData() {
    OptionRecord record = m_option.Get();
    LoadStoredOptions(record, "CTillstreamDlg::InitData");
    m_option.Set(record);
}

void CTillstreamDlg::RefreshOptionStatus() {
    View()->DeleteAllListItems(IDC_LIST_OPTION);
    for (const OptionStatusRow& row : MakeOptionStatusRows(m_option.Get())) {
        View()->AddListRow(IDC_LIST_OPTION, {row.index, row.option, row.value, row.etc});
    }
}

void CTillstreamDlg::ShowMessage(const std::string& text) {
    View()->ShowMessageBox(text, kProgramName, kMbOk);
}

// --- commands --------------------------------------------------------------------------------

void CTillstreamDlg::OnCommand(int nID) {
    switch (nID) {
        case IDC_BUTTON_SELECT_FILE:
            OnButtonSelectFile();
            break;
        case IDC_BUTTON_OUTPUT_OPTION:
            OnButtonOutputOption();
            break;
        case IDC_BUTTON_OUTPUT_START:
            OnButtonOutputStart();
            break;
        case IDC_BUTTON_OUTPUT_STOP:
            OnButtonOutputStop();
            break;
        case IDC_BUTTON_INPUT_START:
            OnButtonInputStart();
            break;
        case IDC_BUTTON_INPUT_STOP:
            OnButtonInputStop();
            break;
        case IDC_BUTTON_INPUT_OPTION:
            OnButtonInputOption();
            break;
        case IDC_BUTTON_MAKE_TILLSTREAM_DATA:
            OnButtonMakeTillstreamData();
            break;
        case ID_TRAY_START:
            // The tray stands for the buttons: it starts only what the button could start now.
            if (View()->IsItemEnabled(IDC_BUTTON_OUTPUT_START)) {
                OnButtonOutputStart();
            }
            break;
        case ID_TRAY_STOP:
            if (View()->IsItemEnabled(IDC_BUTTON_OUTPUT_STOP)) {
                OnButtonOutputStop();
            }
            break;
        case ID_TRAY_OPEN:
            RestoreFromTray();
            break;
        case ID_TRAY_EXIT:
            EndWindow(kIdCancel);
            break;
        case ID_TRAY_ALWAYS_ON_TOP:
            View()->SetTopMost(true);
            break;
        case ID_TRAY_NORMAL:
            View()->SetTopMost(false);
            break;
        default:
            CDialog::OnCommand(nID);
            break;
    }
}

void CTillstreamDlg::OnSysCommand(unsigned nID) {
    if ((nID & kScMask) == IDM_ABOUTBOX) {
        CAboutDlg about(Factory());
        about.DoModal(View());
        return;
    }
    if ((nID & kScMask) == kScMinimize) {
        // Minimised, the window leaves the task bar for the tray; without a tray icon there
        // would be no way back, so it then stays minimised.
        View()->ShowWindow(kSwMinimize);
        if (m_trayIcon.IsEnabled()) {
            View()->ShowWindow(kSwHide);
        }
        return;
    }
    CDialog::OnSysCommand(nID);
}

void CTillstreamDlg::OnKeyDown(int nVirtualKey, int nFocusId) {
    if (nVirtualKey == kVkF1) {
        OnSysCommand(IDM_ABOUTBOX);
        return;
    }
    CDialog::OnKeyDown(nVirtualKey, nFocusId);
}

long CTillstreamDlg::OnTrayNotification(unsigned long wParam, long lParam) {
    return m_trayIcon.OnTrayNotification(wParam, lParam);
}

long CTillstreamDlg::OnShowWindowRequest(long lParam) {
    if (lParam == 1 || lParam == 9) {
        RestoreFromTray();
    }
    return 1;
}

// --- loading -----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonSelectFile() {
    std::string chosen;
    if (!View()->ChooseOpenFile(kOpenFileFilter, chosen) || chosen.empty()) {
        return;
    }
    LoadChosenFile(chosen);
}

void CTillstreamDlg::LoadChosenFile(const std::string& chosen) {
    // Only a regular file can be a data file: a named pipe would hold this thread in its open,
    // a device such as /dev/zero would never end. Such a file is refused like a missing one.
    FileKind kind = FileKind::Regular;
    if (CheckRegularFile(chosen, kind) != FileError::None) {
        ShowMessage("ERROR - Can't Open file.\r\n" + chosen);
        return;
    }
    View()->SetItemText(IDC_EDIT_DATA_FILE, chosen);
    m_bConvertedFile = 0;
    m_strDataFile = chosen;
    ApplyFileKind(IsTillstreamDataFile(chosen));
    LoadDataToList(chosen);
}

void CTillstreamDlg::ApplyFileKind(int r) {
    bool bEnabled = false;
    int captionId = IDS_MAKE_TILLSTREAM_DATA;
    m_bConvertedFile = 0;
    if (r == kDataFileConverted) {
        m_bConvertedFile = 1;
        // A converted file can be restored only while its backup is there.
        if (PathExists(ConversionBackupPath(m_strDataFile))) {
            bEnabled = true;
            captionId = IDS_RESTORE_DATA;
        }
    } else if (r == kDataFileStampedLog) {
        bEnabled = true;  // a stamped hex log, whatever backup may lie next to it
    }
    if (bEnabled) {
        View()->EnableItem(IDC_BUTTON_MAKE_TILLSTREAM_DATA, true);
    } else {
        DisableItem(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    }
    View()->SetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA, LoadResourceString(captionId));
}

int CTillstreamDlg::LoadDataToList(const std::string& path) {
    if (m_lines.Count() != 0) {
        m_lines.Clear();
        View()->SetListItemCount(IDC_LIST_DATA, 0);
    }
    const int result = m_lines.Load(path);
    View()->SetListItemCount(IDC_LIST_DATA, m_lines.Count());
    if (result != 0) {
        return -1;
    }
    m_nLineCount = m_lines.Count();
    return 0;
}

// --- conversion --------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonMakeTillstreamData() {
    CDialogView& view = *View();
    const bool bMake = view.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA) ==
                       LoadResourceString(IDS_MAKE_TILLSTREAM_DATA);
    // The data list reads its lines from the file and so holds it open, and Windows replaces no
    // file that is open: the list lets go of the file while it is converted or restored, and
    // shows it again, as it is then, before anything is said.
    m_lines.Clear();
    view.SetListItemCount(IDC_LIST_DATA, 0);
    const int r = bMake ? MakeTillstreamDataFile(m_strDataFile) : RestoreDataFile(m_strDataFile);
    LoadDataToList(m_strDataFile);

    if (bMake) {
        if (r < 0) {
            ShowMessage(LoadResourceString(IDS_MAKE_FAIL));
            return;
        }
        view.SetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA, LoadResourceString(IDS_RESTORE_DATA));
        m_bConvertedFile = 1;
        ShowMessage(LoadResourceString(IDS_MAKE_SUCCESS));
        return;
    }
    if (r == kRestoreBackupMissing) {
        // The backup has gone: the file is what it is, so it is judged again as loading does.
        ShowMessage(LoadResourceString(IDS_RESTORE_FAIL));
        ApplyFileKind(IsTillstreamDataFile(m_strDataFile));
        return;
    }
    if (r < 0) {
        ShowMessage(LoadResourceString(IDS_RESTORE_FAIL));
        return;
    }
    view.SetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA, LoadResourceString(IDS_MAKE_TILLSTREAM_DATA));
    m_bConvertedFile = 0;
    ShowMessage(LoadResourceString(IDS_RESTORE_SUCCESS));
}

// --- options -----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonOutputOption() {
    COutputOptionDlg dlg(Factory());
    dlg.SetOptionData(m_option.Get());
    if (dlg.DoModal(View()) == 2) {
        OptionRecord record = m_option.Get();
        dlg.GetOptionData(record);
        m_option.Set(record);
        SaveStoredOptions(record, "CTillstreamDlg::OnButtonOutputOption");
        RefreshOptionStatus();
    }
}

void CTillstreamDlg::OnButtonInputOption() {
    CInputOptionDlg dlg(Factory());
    dlg.SetOptionData(m_option.Get());
    if (dlg.DoModal(View()) == 2) {
        OptionRecord record = m_option.Get();
        dlg.GetOptionData(record);
        m_option.Set(record);
        SaveStoredOptions(record, "CTillstreamDlg::OnButtonInputOption");
    }
}

// --- playback ----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonOutputStart() {
    CDialogView& view = *View();
    const std::string path = view.GetItemText(IDC_EDIT_DATA_FILE);
    if (path.empty()) {
        return;
    }
    // Output Stop is enabled first, so that the focus can go on to it from Output Start.
    view.EnableItem(IDC_BUTTON_OUTPUT_STOP, true);
    DisableItem(IDC_BUTTON_OUTPUT_START, IDC_BUTTON_OUTPUT_STOP);
    DisableItem(IDC_LIST_DATA);

    PlaybackRequest request;
    request.path = path;
    request.convertedFile = m_bConvertedFile != 0;
    request.lineCount = m_nLineCount;
    // A run still ending after a stop is not a refusal: the new run waits for it on its own.
    const std::uint64_t runId = m_outputPlayback.Start(request);
    if (runId == 0) {
        ShowMessage(kThreadStartError);
        return;
    }
    m_nOutputRunId = runId;
}

void CTillstreamDlg::OnButtonOutputStop() {
    CDialogView& view = *View();
    m_outputPlayback.RequestStop();
    view.EnableItem(IDC_BUTTON_OUTPUT_START, true);
    DisableItem(IDC_BUTTON_OUTPUT_STOP, IDC_BUTTON_OUTPUT_START);
    // -1 addresses every item: the whole list ends unselected.
    view.SetListItemSelected(IDC_LIST_DATA, -1, false);
    m_nSelectedLine = -1;
    view.EnableItem(IDC_LIST_DATA, true);
}

void CTillstreamDlg::ShowPlaybackStart() {
    View()->SetListTopIndex(IDC_LIST_DATA, 0);
    View()->SetProgressPos(IDC_PROGRESS, 0);
}

void CTillstreamDlg::ShowPlaybackLine(int index, int percent) {
    CDialogView& view = *View();
    if (index >= 0 && index < m_lines.Count()) {
        // Selecting adds to the list's selection, so the line shown before is unselected first.
        // With no delay the run tells only some lines: that one need not be index - 1.
        if (m_nSelectedLine >= 0 && m_nSelectedLine != index) {
            view.SetListItemSelected(IDC_LIST_DATA, m_nSelectedLine, false);
        }
        view.SetListItemSelected(IDC_LIST_DATA, index, true);
        m_nSelectedLine = index;
        const int top = view.GetListTopIndex(IDC_LIST_DATA);
        const int newTop = PageTopForLine(index, view.GetListCountPerPage(IDC_LIST_DATA), top);
        if (newTop != top) {
            view.SetListTopIndex(IDC_LIST_DATA, newTop);
        }
    }
    view.SetProgressPos(IDC_PROGRESS, percent);
}

void CTillstreamDlg::ShowPlaybackRewind(int lastIndex) {
    if (lastIndex >= 0 && lastIndex < m_lines.Count()) {
        View()->SetListItemSelected(IDC_LIST_DATA, lastIndex, false);
    }
    // Line notices are coalesced, so the next pass's first line may be shown already; it stays
    // selected.
    if (m_nSelectedLine == lastIndex) {
        m_nSelectedLine = -1;
    }
    View()->SetProgressPos(IDC_PROGRESS, 0);
}

void CTillstreamDlg::OnPlaybackEnded(std::uint64_t runId) {
    // Only the run started last may put the buttons back; an earlier run's late notice would
    // otherwise stop the new one.
    if (runId == m_nOutputRunId) {
        OnButtonOutputStop();
    }
}

// --- capture -----------------------------------------------------------------------------------

void CTillstreamDlg::OnButtonInputStart() {
    View()->EnableItem(IDC_BUTTON_INPUT_STOP, true);
    DisableItem(IDC_BUTTON_INPUT_START, IDC_BUTTON_INPUT_STOP);
    const std::uint64_t runId = m_inputCapture.Start(m_option.Get());
    if (runId == 0) {
        ShowMessage(kThreadStartError);
        return;
    }
    m_nInputRunId = runId;
}

void CTillstreamDlg::OnButtonInputStop() {
    View()->EnableItem(IDC_BUTTON_INPUT_START, true);
    DisableItem(IDC_BUTTON_INPUT_STOP, IDC_BUTTON_INPUT_START);
    m_inputCapture.RequestStop();
}

void CTillstreamDlg::OnCaptureFailed(std::uint64_t runId) {
    if (runId == m_nInputRunId) {
        OnButtonInputStop();
    }
}

// --- tray and placement ------------------------------------------------------------------------

void CTillstreamDlg::RestoreFromTray() {
    View()->ShowWindow(kSwShowNormal);
    View()->BringToFront();
}

// --- the window's end --------------------------------------------------------------------------

void CTillstreamDlg::OnOK() {
    EndWindow(kIdOk);
}

void CTillstreamDlg::OnCancel() {
    EndWindow(kIdCancel);
}

void CTillstreamDlg::EndWindow(int nResult) {
    Shutdown();
    EndDialog(nResult);
}

void CTillstreamDlg::OnDestroy() {
    if (!Shutdown()) {
        // An engine still uses the window's view and members; see CEngineShutdown.
        CEngineShutdown::EndProgramNow(0);
    }
    m_trayIcon.RemoveIcon();
}

bool CTillstreamDlg::Shutdown() {
    if (m_bShutDown) {
        return m_bEnginesEnded;
    }
    m_bShutDown = true;
    // A worker waiting on a box must not keep the window from ending.
    m_messageBox.Release();
    CEngineShutdown shutdown(kEngineEndWait);
    if (m_outputPlayback.IsRunning()) {
        if (View() != nullptr) {
            OnButtonOutputStop();
        } else {
            m_outputPlayback.RequestStop();
        }
        shutdown.WaitForEngine("playback", [this](std::chrono::milliseconds limit) {
            return m_outputPlayback.WaitUntilEnded(limit);
        });
    }
    if (m_inputCapture.IsRunning()) {
        if (View() != nullptr) {
            OnButtonInputStop();
        } else {
            m_inputCapture.RequestStop();
        }
        shutdown.WaitForEngine("capture", [this](std::chrono::milliseconds limit) {
            return m_inputCapture.WaitUntilEnded(limit);
        });
    }
    m_bEnginesEnded = shutdown.AllEnded();
    return m_bEnginesEnded;
}
