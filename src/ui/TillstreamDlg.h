#pragma once
// The main window: the hub of the program. It owns the live option record, the socket client
// and server, the tray icon, the playback and capture engines and the three controls the
// engines update (option status list, progress bar, data list), and routes every command of its
// buttons and of the tray menu to its handler. Built from dialog template 102.
// GUI thread only; the engines reach it through their hosts, which queue work onto this thread.
// Handlers report to the user by message box; nothing here throws.
#include <QDialog>
#include <QIcon>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/InputCapture.h"
#include "engine/OutputPlayback.h"
#include "gui_qt/ShowWindowListener.h"
#include "gui_qt/TemplateWidgets.h"
#include "options/SharedOptions.h"
#include "transport/SocketClient.h"
#include "transport/SocketServer.h"
#include "ui/BlockingMessageBox.h"
#include "ui/TrayIcon.h"
#include "ui/WindowCaptureHost.h"
#include "ui/WindowPlaybackHost.h"

class CLineListModel;
class CLineListView;
class QProgressBar;
class QStandardItemModel;
class QTreeView;

// Control and command IDs of the main window.
inline constexpr int IDC_BUTTON_SELECT_FILE = 1001;
inline constexpr int IDC_LIST_DATA = 1006;
inline constexpr int IDC_PROGRESS = 1007;
inline constexpr int IDC_BUTTON_OUTPUT_OPTION = 1009;
inline constexpr int IDC_EDIT_DATA_FILE = 1019;
inline constexpr int IDC_BUTTON_OUTPUT_START = 1020;
inline constexpr int IDC_BUTTON_OUTPUT_STOP = 1021;
inline constexpr int IDC_BUTTON_INPUT_START = 1028;
inline constexpr int IDC_BUTTON_INPUT_STOP = 1029;
inline constexpr int IDC_BUTTON_INPUT_OPTION = 1032;
inline constexpr int IDC_LIST_OPTION = 1049;
inline constexpr int IDC_BUTTON_MAKE_TILLSTREAM_DATA = 1050;
inline constexpr int ID_TRAY_START = 32771;
inline constexpr int ID_TRAY_STOP = 32772;
inline constexpr int ID_TRAY_OPEN = 32773;
inline constexpr int ID_TRAY_EXIT = 32774;
inline constexpr int ID_TRAY_ALWAYS_ON_TOP = 32775;
inline constexpr int ID_TRAY_NORMAL = 32776;
// System commands: the About item and minimising.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr unsigned SC_MINIMIZE_COMMAND = 0xF020;
// The tray icon's callback message and id (also the id of its menu).
inline constexpr unsigned WM_TRAY_NOTIFICATION = 0x0400 + 0x500;
inline constexpr unsigned IDR_TRAY_POPUP = 132;

class CTillstreamDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CTillstreamDlg(QWidget* parent = nullptr);
    ~CTillstreamDlg() override;

    // Routes a command by its ID, as a button press or a tray menu choice does.
    void OnCommand(int nID);
    // System commands: the About item (IDM_ABOUTBOX) and minimising (SC_MINIMIZE_COMMAND).
    void OnSysCommand(unsigned nID);
    // The tray icon's notifications (wParam: icon id, lParam: mouse message).
    long OnTrayNotification(unsigned long wParam, long lParam);

    void OnButtonSelectFile();
    // What "..." does once a path has been chosen: a name that does not exist gets the error
    // box; otherwise the path becomes the loaded file, classified and listed.
    void LoadChosenFile(const QString& chosen);
    void OnButtonOutputOption();
    void OnButtonOutputStart();
    void OnButtonOutputStop();
    void OnButtonInputStart();
    void OnButtonInputStop();
    void OnButtonInputOption();
    void OnButtonMakeTillstreamData();

    // Reads the stored option record; a missing one leaves the defaults.
    void InitData();
    // Rebuilds the option status list from the live option record.
    void RefreshOptionStatus();
    // Refills the data list from the file and sets the line count. 0, or -1 when the file cannot
    // be opened (the list is then empty and the count keeps its value).
    int LoadDataToList(const std::string& path);
    // Brings the window back from the tray to the front.
    void RestoreFromTray();

    // Stops playback and capture and waits for them (at most 10 s each), once; the window's
    // end runs it, and so does its destruction. True when both have ended; when one has not,
    // the destruction ends the program at once instead of waiting for it (CEngineShutdown).
    bool Shutdown();

    // The engines' notices, run on this thread.
    void ShowPlaybackStart();
    void ShowPlaybackLine(int index, int percent);
    void ShowPlaybackRewind(int lastIndex);
    void OnPlaybackEnded(std::uint64_t runId);
    void OnCaptureFailed(std::uint64_t runId);

    // State a user (or a test) can observe.
    QWidget* Control(int id) const { return m_widgets.Control(id); }
    std::int32_t LineCount() const { return m_nLineCount; }
    bool IsConvertedFile() const { return m_bConvertedFile != 0; }
    const std::string& DataFile() const { return m_strDataFile; }
    OptionRecord Options() const { return m_option.Get(); }
    CLineListModel* DataModel() const { return m_pDataModel; }
    QStandardItemModel* OptionModel() const { return m_pOptionModel; }
    bool IsOutputRunning() const { return m_outputPlayback.IsRunning(); }
    bool IsInputRunning() const { return m_inputCapture.IsRunning(); }
    CTrayIcon& TrayIcon() { return m_trayIcon; }
    CShowWindowListener& ShowWindowListener() { return m_showWindowListener; }
    // The item the data list shows at its top, and how many items it shows per page.
    int DataListTopRow() const;
    int DataListCountPerPage() const;

  public slots:
    void done(int r) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void OnInitDialog();
    // Sets the conversion button and the playback mode for a file of kind `r`
    // (IsTillstreamDataFile's result), as loading a file does.
    void ApplyFileKind(int r);
    void SetAlwaysOnTop(bool bOnTop);
    void SetButtonEnabled(int id, bool bEnabled);
    QString Caption() const;

    QIcon m_hIcon;
    std::int32_t m_nLineCount = 0;
    CSharedOptions m_option;
    CSocketClient m_socketClient;
    CSocketServer m_socketServer;
    std::string m_strDataFile;
    std::int32_t m_bConvertedFile = 0;
    CTrayIcon m_trayIcon;
    CShowWindowListener m_showWindowListener;

    CTemplateWidgets m_widgets;
    QTreeView* m_listOption = nullptr;
    QProgressBar* m_progress = nullptr;
    CLineListView* m_listData = nullptr;
    CLineListModel* m_pDataModel = nullptr;
    QStandardItemModel* m_pOptionModel = nullptr;

    // The runs the window started last; a late notice of an earlier run is ignored.
    std::uint64_t m_nOutputRunId = 0;
    std::uint64_t m_nInputRunId = 0;
    bool m_bShutDown = false;
    bool m_bEnginesEnded = true;

    // The engines come last: they are destroyed (stopped and joined) before anything they use.
    CBlockingMessageBox m_messageBox;
    CWindowPlaybackHost m_playbackHost;
    CWindowCaptureHost m_captureHost;
    COutputPlayback m_outputPlayback;
    CInputCapture m_inputCapture;
};
