#include "ui/WindowCaptureHost.h"

#include "ui/BlockingMessageBox.h"
#include "ui/TillstreamDlg.h"

void CWindowCaptureHost::OnCaptureFailed(std::uint64_t runId) {
    m_uiThread.Post([dlg = &m_dlg, runId] { dlg->OnCaptureFailed(runId); });
}

void CWindowCaptureHost::ShowMessage(const std::string& text, const std::string& caption) {
    m_box.Show(text, caption);
}
