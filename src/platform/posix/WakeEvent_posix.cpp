#include "platform/WakeEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace {
int Descriptor(intptr_t handle) {
    return static_cast<int>(handle);
}
}  // namespace

CWakeEvent::~CWakeEvent() {
    Close();
}

SystemError CWakeEvent::Create() {
    Close();
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return LastSystemError();
    }
    m_hEvent = fd;
    return {};
}

void CWakeEvent::Close() {
    if (m_hEvent >= 0) {
        ::close(Descriptor(m_hEvent));
        m_hEvent = -1;
    }
}

void CWakeEvent::Set() {
    if (m_hEvent < 0) {
        return;
    }
    const uint64_t one = 1;
    // A full counter (EAGAIN) means the event is set already, which is all we want.
    while (::write(Descriptor(m_hEvent), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CWakeEvent::Reset() {
    if (m_hEvent < 0) {
        return;
    }
    uint64_t count = 0;
    while (::read(Descriptor(m_hEvent), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool CWakeEvent::IsSet() const {
    return Wait(0);
}

bool CWakeEvent::Wait(int timeoutMs) const {
    if (m_hEvent < 0) {
        return false;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    pollfd entry{Descriptor(m_hEvent), POLLIN, 0};
    for (;;) {
        int wait = timeoutMs;
        if (timeoutMs > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        const int ready = ::poll(&entry, 1, wait);
        if (ready > 0) {
            return (entry.revents & POLLIN) != 0;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}
