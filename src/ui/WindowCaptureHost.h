#pragma once
// The main window's side of capture: turns the engine's notices into work on the window's
// thread and shows the serial channel's boxes there.
// Threads: the engine calls every operation on the capture thread; only ShowMessage blocks
// (until the box is dismissed or released at shutdown). Never fails.
#include "engine/CaptureHost.h"

class CBlockingMessageBox;
class CTillstreamDlg;
class CUiThread;

class CWindowCaptureHost : public CCaptureHost {
  public:
    CWindowCaptureHost(CTillstreamDlg& dlg, CUiThread& uiThread, CBlockingMessageBox& box)
        : m_dlg(dlg), m_uiThread(uiThread), m_box(box) {}

    void OnCaptureFailed(std::uint64_t runId) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

  private:
    CTillstreamDlg& m_dlg;
    CUiThread& m_uiThread;
    CBlockingMessageBox& m_box;
};
