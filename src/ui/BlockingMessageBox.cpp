#include "ui/BlockingMessageBox.h"

#include <memory>

CBlockingMessageBox::CBlockingMessageBox(CUiThread& uiThread, ShowFunction show)
    : m_uiThread(uiThread), m_show(std::move(show)), m_uiThreadId(std::this_thread::get_id()) {}

void CBlockingMessageBox::Show(const std::string& text, const std::string& caption) {
    if (std::this_thread::get_id() == m_uiThreadId) {
        m_show(text, caption);
        return;
    }
    // The flag outlives this call: a box still open when the worker was released sets it late.
    auto pbDone = std::make_shared<bool>(false);
    {
        std::lock_guard lock(m_mutex);
        if (m_bReleased) {
            return;
        }
    }
    // Posted to the window: dropped, never run, if the window is gone before it is handled.
    m_uiThread.Post([this, text, caption, pbDone] {
        bool bReleased;
        {
            std::lock_guard lock(m_mutex);
            bReleased = m_bReleased;
        }
        if (!bReleased) {
            m_show(text, caption);
        }
        std::lock_guard lock(m_mutex);
        *pbDone = true;
        m_cvDone.notify_all();
    });
    std::unique_lock lock(m_mutex);
    m_cvDone.wait(lock, [&] { return *pbDone || m_bReleased; });
}

void CBlockingMessageBox::Release() {
    std::lock_guard lock(m_mutex);
    m_bReleased = true;
    m_cvDone.notify_all();
}
