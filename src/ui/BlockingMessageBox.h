#pragma once
// Shows a message box for a worker thread: the box opens on the user-interface thread and the
// worker waits until the user has dismissed it, as a modal box owned by the window would make it
// wait. At shutdown the window calls Release, which lets every waiting worker go on at once (the
// window is about to wait for those workers to end) and makes later calls return at once.
// Threads: Show from any thread (on the user-interface thread it shows the box directly);
// Release on the user-interface thread, the thread that made the object. Never fails.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ui/UiThread.h"

class CBlockingMessageBox {
  public:
    using ShowFunction = std::function<void(const std::string& text, const std::string& caption)>;

    // `show` shows a box on the user-interface thread and returns when it has been dismissed;
    // `uiThread` runs work there.
    CBlockingMessageBox(CUiThread& uiThread, ShowFunction show);

    void Show(const std::string& text, const std::string& caption);
    void Release();

  private:
    CUiThread& m_uiThread;
    ShowFunction m_show;
    std::thread::id m_uiThreadId;
    std::mutex m_mutex;
    std::condition_variable m_cvDone;
    bool m_bReleased = false;
};
