#pragma once
// The main window's side of playback: hands the engine the live options and turns its notices
// into work on the window's thread. Line updates are coalesced: only the latest line and bar
// position are kept and at most one update waits in the window's queue, so a run with no delay
// cannot flood the window, and the window still ends up showing the line being sent.
// Threads: the engine calls every operation on the playback thread; nothing here blocks except
// ShowMessage (until the box is dismissed or released at shutdown). Never fails.
#include <mutex>

#include "engine/PlaybackHost.h"

class CBlockingMessageBox;
class CSharedOptions;
class CTillstreamDlg;
class CUiThread;

class CWindowPlaybackHost : public CPlaybackHost {
  public:
    CWindowPlaybackHost(CTillstreamDlg& dlg, CUiThread& uiThread, CSharedOptions& options,
                        CBlockingMessageBox& box)
        : m_dlg(dlg), m_uiThread(uiThread), m_options(options), m_box(box) {}

    OptionRecord CurrentOptions() override;
    std::uint64_t OptionsChangeCount() override;
    // About a screen refresh: the window shows nothing finer.
    std::chrono::milliseconds LineNoticeInterval() override {
        return std::chrono::milliseconds(15);
    }
    void ShowRunStart() override;
    void ShowCurrentLine(int index, int percent) override;
    void ShowRewind(int lastIndex) override;
    void OnRunEnded(std::uint64_t runId) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

  private:
    void ApplyLatestLine();

    CTillstreamDlg& m_dlg;
    CUiThread& m_uiThread;
    CSharedOptions& m_options;
    CBlockingMessageBox& m_box;

    std::mutex m_mutex;  // guards the three below
    int m_nLatestIndex = -1;
    int m_nLatestPercent = 0;
    bool m_bUpdatePending = false;
};
