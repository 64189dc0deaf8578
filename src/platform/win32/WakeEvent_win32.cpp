#include <windows.h>

#include "platform/WakeEvent.h"

namespace {
HANDLE Native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}
}  // namespace

CWakeEvent::~CWakeEvent() {
    Close();
}

SystemError CWakeEvent::Create() {
    Close();
    // Manual reset: it stays set for every waiter until Reset().
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return LastSystemError();
    }
    m_hEvent = reinterpret_cast<intptr_t>(event);
    return {};
}

void CWakeEvent::Close() {
    if (m_hEvent >= 0) {
        CloseHandle(Native(m_hEvent));
        m_hEvent = -1;
    }
}

void CWakeEvent::Set() {
    if (m_hEvent >= 0) {
        SetEvent(Native(m_hEvent));
    }
}

void CWakeEvent::Reset() {
    if (m_hEvent >= 0) {
        ResetEvent(Native(m_hEvent));
    }
}

bool CWakeEvent::IsSet() const {
    return Wait(0);
}

bool CWakeEvent::Wait(int timeoutMs) const {
    if (m_hEvent < 0) {
        return false;
    }
    const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(Native(m_hEvent), wait) == WAIT_OBJECT_0;
}
