#include "ui/BlockingMessageBox.h"

#include <QThread>
#include <memory>

#include "gui_qt/UserPrompts.h"

void CBlockingMessageBox::Show(const std::string& text, const std::string& caption) {
    const QString qText = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    const QString qCaption =
        QString::fromLocal8Bit(caption.data(), static_cast<qsizetype>(caption.size()));
    QWidget* owner = m_pOwner.data();
    if (owner == nullptr) {
        return;
    }
    if (QThread::currentThread() == owner->thread()) {
        ShowMessageBox(owner, qText, qCaption);
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
    // Queued to the owner: dropped, never run, if the window is gone before it is handled.
    QMetaObject::invokeMethod(
        owner,
        [this, owner, qText, qCaption, pbDone] {
            bool bReleased;
            {
                std::lock_guard lock(m_mutex);
                bReleased = m_bReleased;
            }
            if (!bReleased) {
                ShowMessageBox(owner, qText, qCaption);
            }
            std::lock_guard lock(m_mutex);
            *pbDone = true;
            m_cvDone.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_cvDone.wait(lock, [&] { return *pbDone || m_bReleased; });
}

void CBlockingMessageBox::Release() {
    std::lock_guard lock(m_mutex);
    m_bReleased = true;
    m_cvDone.notify_all();
}
