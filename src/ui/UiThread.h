#pragma once
// Work handed to the user-interface thread from elsewhere (the engine threads): a view posts it
// into its window's event queue (Qt: a queued call; Windows: a private message posted to the
// window), where it runs after the work posted before it.
// Threads: Post may be called from any thread. The work runs on the user-interface thread, in
// the order it was posted, unless the window is destroyed first: then it never runs. Never fails.
#include <functional>

class CUiThread {
  public:
    virtual void Post(std::function<void()> work) = 0;

  protected:
    ~CUiThread() = default;
};
