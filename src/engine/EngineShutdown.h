#pragma once
// The program's end while its engines may still be running, with a real limit on the wait.
// Each engine, once asked to stop, gets at most the limit to end (WaitForEngine). An engine whose
// thread is still running after that can be neither joined (the wait would have no end: its
// destructor would keep the program alive for ever) nor detached: the thread is inside a call on
// objects its owner is about to destroy (the host, the socket client, the engine itself) and would
// go on using them after they are gone. So the owner does not destroy anything then: it ends the
// program at once (EndProgramNow), and the system closes the files, sockets and ports. Nothing is
// lost by it: the settings are saved whole when a dialog confirms them, a data file is only ever
// read, and a capture file holds every byte already handed to the system.
// Threads: the owner's thread (the window's). Failures: none; an engine that did not end is
// traced.
#include <chrono>
#include <functional>

class CEngineShutdown {
  public:
    explicit CEngineShutdown(std::chrono::milliseconds limit) : m_limit(limit) {}

    // Gives an engine that has been asked to stop at most the limit to end; `waitUntilEnded` is
    // its WaitUntilEnded. False, traced with `name`, when it is still running.
    bool WaitForEngine(const char* name,
                       const std::function<bool(std::chrono::milliseconds)>& waitUntilEnded);

    // True while every engine waited for has ended.
    bool AllEnded() const { return m_bAllEnded; }

    // Ends the program at once with `exitCode`: no destructor, no handler registered to run at
    // exit, no flush of buffered output (a stuck thread may hold a stream's lock). For an owner
    // whose engines did not all end, instead of destroying what they still use.
    [[noreturn]] static void EndProgramNow(int exitCode);

  private:
    std::chrono::milliseconds m_limit;
    bool m_bAllEnded = true;
};
