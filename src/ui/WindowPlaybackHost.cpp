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
    QMetaObject::invokeMethod(
        &m_dlg, [dlg = &m_dlg] { dlg->ShowPlaybackStart(); }, Qt::QueuedConnection);
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
    QMetaObject::invokeMethod(
        &m_dlg, [this] { ApplyLatestLine(); }, Qt::QueuedConnection);
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
    QMetaObject::invokeMethod(
        &m_dlg, [dlg = &m_dlg, lastIndex] { dlg->ShowPlaybackRewind(lastIndex); },
        Qt::QueuedConnection);
}

void CWindowPlaybackHost::OnRunEnded(std::uint64_t runId) {
    QMetaObject::invokeMethod(
        &m_dlg, [dlg = &m_dlg, runId] { dlg->OnPlaybackEnded(runId); }, Qt::QueuedConnection);
}

void CWindowPlaybackHost::ShowMessage(const std::string& text, const std::string& caption) {
    m_box.Show(text, caption);
}
