#pragma once
// Stands in for the running window's side of the show-window request, where the window listens on
// this system: the local socket "HWM_TRAY_REGISTERED_MSG" in the runtime folder on Linux; a window
// of the main window's class and title that handles the registered message on Windows. Every
// request is answered with `answer` and recorded. Test use only; it serves on a thread of its own.
#include <memory>
#include <vector>

class ShowWindowStandIn {
  public:
    explicit ShowWindowStandIn(long answer);
    ~ShowWindowStandIn();
    ShowWindowStandIn(const ShowWindowStandIn&) = delete;
    ShowWindowStandIn& operator=(const ShowWindowStandIn&) = delete;

    bool IsListening() const;
    // The requests' values (lParam) in the order they came.
    std::vector<long> Requests() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};
