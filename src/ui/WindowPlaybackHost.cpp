#include "ui/WindowPlaybackHost.h"

#include "options/SharedOptions.h"
#include "ui/BlockingMessageBox.h"
#include "ui/TillstreamDlg.h"

OptionRecord CWindowPlaybackHost::CurrentOptions() {
    return m_options.Get();
}

std::uint64_t CWindowPlaybackHost::OptionsChangeCount() {
    return m_options.ChangeCount();
}

void CWindowPlaybackHost::ShowRunStart() {
    m_uiThread.Post([dlg = &m_dlg] { dlg->ShowPlaybackStart(); });
}

void CWindowPlaybackHost::ShowCurrentLine(int index, int percent) {
    {
        std::lock_guard lock(m_mutex);
        m_nLatestIndex = index;
        m_nLatestPercent = percent;
        if (m_bUpdatePending) {
            return;  // the update already queued will show these values
        }
        m_bUpdatePending = true;
    }
    m_uiThread.Post([this] { ApplyLatestLine(); });
}

void CWindowPlaybackHost::ApplyLatestLine() {
    int index;
    int percent;
    {
        std::lock_guard lock(m_mutex);
        index = m_nLatestIndex;
        percent = m_nLatestPercent;
        m_bUpdatePending = false;
    }
    m_dlg.ShowPlaybackLine(index, percent);
}

void CWindowPlaybackHost::ShowRewind(int lastIndex) {
    m_uiThread.Post([dlg = &m_dlg, lastIndex] { dlg->ShowPlaybackRewind(lastIndex); });
}

void CWindowPlaybackHost::OnRunEnded(std::uint64_t runId) {
    m_uiThread.Post([dlg = &m_dlg, runId] { dlg->OnPlaybackEnded(runId); });
}

void CWindowPlaybackHost::ShowMessage(const std::string& text, const std::string& caption) {
    m_box.Show(text, caption);
}
