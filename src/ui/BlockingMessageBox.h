#pragma once
// Shows a message box for a worker thread: the box opens on the window's (GUI) thread and the
// worker waits until the user has dismissed it, as a modal box owned by the window would make it
// wait. At shutdown the window calls Release, which lets every waiting worker go on at once (the
// window is about to wait for those workers to end) and makes later calls return at once.
// Show: worker threads (called on the GUI thread it shows the box directly). Release: GUI thread.
// Never fails.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <condition_variable>
#include <mutex>
#include <string>

class CBlockingMessageBox {
  public:
    explicit CBlockingMessageBox(QWidget* pOwner) : m_pOwner(pOwner) {}

    void Show(const std::string& text, const std::string& caption);
    void Release();

  private:
    QPointer<QWidget> m_pOwner;
    std::mutex m_mutex;
    std::condition_variable m_cvDone;
    bool m_bReleased = false;
};
