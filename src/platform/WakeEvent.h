#pragma once
// A wake-up signal that ends another thread's wait at once: the stand-in for a manual-reset
// event. Once set it stays set until Reset(), so a Set() that comes before the wait is not lost.
// Set() may be called from any thread while the object lives; Create, Close, Reset and the waits
// belong to the thread that owns the object. Create() reports failure as the program's error code
// (0 when created); the other operations cannot fail in a way a caller could act on.
#include <cstdint>

class CWakeEvent {
  public:
    CWakeEvent() = default;
    ~CWakeEvent();
    CWakeEvent(const CWakeEvent&) = delete;
    CWakeEvent& operator=(const CWakeEvent&) = delete;

    // Creates the event, not set. Returns 0, or the code of the failure (too many open files...).
    uint32_t Create();
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
