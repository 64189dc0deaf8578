#pragma once
// The main window: the hub of the program. It owns the live option record, the socket client
// and server, the tray icon, the lines of the loaded file, the playback and capture engines, and
// drives the three controls the engines update (option status list, progress bar, data list). It
// routes every command of its buttons, its system menu and the tray menu to its handler. Built
// from dialog template 102 through a view.
// User-interface thread only; the engines reach it through their hosts, which post their work
// to this thread. Handlers report to the user by message box; nothing here throws.
#include <cstdint>
#include <string>

#include "engine/InputCapture.h"
#include "engine/OutputPlayback.h"
#include "options/SharedOptions.h"
#include "transport/SocketClient.h"
#include "transport/SocketServer.h"
#include "ui/BlockingMessageBox.h"
#include "ui/ControlIds.h"
#include "ui/Dialog.h"
#include "ui/LineListSource.h"
#include "ui/TrayIcon.h"
#include "ui/UiThread.h"
#include "ui/WindowCaptureHost.h"
#include "ui/WindowPlaybackHost.h"

class CTillstreamDlg : public CDialog, private CUiThread {
  public:
    explicit CTillstreamDlg(CViewFactory& factory);
    ~CTillstreamDlg() override;

    // Routes a command by its ID, as a button press or a tray menu choice does.
    void OnCommand(int nID) override;
    // System commands: the About item (IDM_ABOUTBOX), minimising, the close box.
    void OnSysCommand(unsigned nID) override;
    // F1 opens the About box; Enter and Esc as in every dialog.
    void OnKeyDown(int nVirtualKey, int nFocusId) override;
    // The tray icon's notifications (wParam: icon id, lParam: mouse message).
    long OnTrayNotification(unsigned long wParam, long lParam) override;
    // Another program asks for the window: 1 or 9 brings it to the front. The answer is 1.
    long OnShowWindowRequest(long lParam) override;

    void OnButtonSelectFile();
    // What "..." does once a path has been chosen: a name that is not a regular file gets the
    // error box; otherwise the path becomes the loaded file, classified and listed.
    void LoadChosenFile(const std::string& chosen);
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
    // the window's end ends the program at once instead of destroying what it uses
    // (CEngineShutdown).
    bool Shutdown();

    // The engines' notices, run on this thread.
    void ShowPlaybackStart();
    void ShowPlaybackLine(int index, int percent);
    void ShowPlaybackRewind(int lastIndex);
    void OnPlaybackEnded(std::uint64_t runId);
    void OnCaptureFailed(std::uint64_t runId);

    // State a user (or a test) can observe.
    std::int32_t LineCount() const { return m_nLineCount; }
    bool IsConvertedFile() const { return m_bConvertedFile != 0; }
    const std::string& DataFile() const { return m_strDataFile; }
    OptionRecord Options() const { return m_option.Get(); }
    const CLineListSource& DataLines() const { return m_lines; }
    bool IsOutputRunning() const { return m_outputPlayback.IsRunning(); }
    bool IsInputRunning() const { return m_inputCapture.IsRunning(); }
    const CTrayIcon& TrayIcon() const { return m_trayIcon; }

  protected:
    bool OnInitDialog() override;
    // Enter and Esc end the window, as does the close box: the engines are stopped first.
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

  private:
    // Work of the engine threads, run on this thread by the window's view.
    void Post(std::function<void()> work) override;
    // Sets the conversion button and the playback mode for a file of kind `r`
    // (IsTillstreamDataFile's result), as loading a file does.
    void ApplyFileKind(int r);
    void ShowMessage(const std::string& text);
    // Ends the window after stopping the engines.
    void EndWindow(int nResult);

    std::int32_t m_nLineCount = 0;
    CSharedOptions m_option;
    CSocketClient m_socketClient;
    CSocketServer m_socketServer;
    std::string m_strDataFile;
    std::int32_t m_bConvertedFile = 0;
    CTrayIcon m_trayIcon;
    CLineListSource m_lines;
    // The data list's item the run selected last and has not unselected since (-1: none).
    int m_nSelectedLine = -1;

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
