#pragma once
// A wake-up signal that ends another thread's wait at once: the stand-in for a manual-reset
// event, and the one kind of cancel event that the platform layer's blocking waits take (a
// socket's connect and waits, a serial port's wait and write). Once set it stays set until
// Reset(), so a Set() that comes before the wait is not lost. An event never created is never
// set: handed to a wait, it means "no cancel".
// Threads: Set() may be called from any thread while the object lives. Create, Close and Reset
// belong to the thread that owns the object; the waits (IsSet, Wait, and the waits it is handed
// to) may run on any number of threads at once as long as the owner does not reset or close it
// meanwhile. Create() reports failure as the system's error value; the other operations cannot
// fail in a way a caller could act on.
#include <cstdint>

#include "platform/SystemError.h"

class CWakeEvent {
  public:
    CWakeEvent() = default;
    ~CWakeEvent();
    CWakeEvent(const CWakeEvent&) = delete;
    CWakeEvent& operator=(const CWakeEvent&) = delete;

    // Creates the event, not set. Fails when the system has no more (too many open files...).
    SystemError Create();
    bool IsCreated() const { return m_hEvent >= 0; }
    void Close();

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is set or `timeoutMs` milliseconds have passed (negative: no limit).
    // Returns true when the event is set.
    bool Wait(int timeoutMs) const;

    // The descriptor the platform layer polls next to a port or socket; -1 when not created.
    intptr_t NativeHandle() const { return m_hEvent; }

  private:
    intptr_t m_hEvent = -1;
};
