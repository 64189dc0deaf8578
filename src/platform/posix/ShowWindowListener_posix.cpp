// The show-window socket: a non-blocking listening socket, its clients and a timer for their
// time-outs, all in one epoll set whose descriptor the window's event loop watches.
#include "platform/ShowWindowListener.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ShowWindowRequest.h"
#include "platform/Trace.h"

namespace {
bool MakeAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Whether a listener answers at `path` now. A socket left behind by a program that ended refuses
// the connection; a busy listener whose queue is full still counts as answering.
bool SomeoneListensAt(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    const int result =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    ::close(probe);
    return result == 0 || error == EAGAIN || error == EINPROGRESS;
}

void CloseDescriptor(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}
}  // namespace

CShowWindowListener::CShowWindowListener(RequestHandler handler) : m_handler(std::move(handler)) {}

CShowWindowListener::~CShowWindowListener() {
    Close();
}

bool CShowWindowListener::Listen(const std::string& path) {
    Close();
    m_path = path.empty() ? ShowWindowRequestTarget() : path;
    const auto fail = [this](const std::string& cause) {
        m_errorText = cause;
        Trace("[%s][CShowWindowListener::Listen] ERROR - %s (%s)", kProgramName, cause.c_str(),
              m_path.c_str());
        Close();
        return false;
    };
    sockaddr_un address{};
    if (!MakeAddress(m_path, address)) {
        return fail("socket path too long");
    }
    struct stat existing {};
    if (::lstat(m_path.c_str(), &existing) == 0) {
        if (S_ISSOCK(existing.st_mode) && SomeoneListensAt(address)) {
            return fail("in use");
        }
        ::unlink(m_path.c_str());
    }
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        return fail(std::strerror(errno));
    }
    if (::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return fail(std::strerror(errno));
    }
    struct stat named {};
    if (::lstat(m_path.c_str(), &named) == 0) {
        m_bNamed = true;
        m_nameDevice = named.st_dev;
        m_nameInode = named.st_ino;
    }
    // Only this user may ask: read and write for the owner, nothing for anyone else. A bound
    // socket refuses every connection until it listens, so no one gets in before this.
    if (::chmod(m_path.c_str(), S_IRUSR | S_IWUSR) != 0 || ::listen(m_listenFd, 16) != 0) {
        return fail(std::strerror(errno));
    }
    m_eventFd = ::epoll_create1(EPOLL_CLOEXEC);
    m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    epoll_event timer{};
    timer.events = EPOLLIN;
    timer.data.fd = m_timerFd;
    if (m_eventFd < 0 || m_timerFd < 0 ||
        ::epoll_ctl(m_eventFd, EPOLL_CTL_ADD, m_timerFd, &timer) != 0) {
        return fail(std::strerror(errno));
    }
    WatchListener(true);
    m_errorText.clear();
    return true;
}

void CShowWindowListener::Close() {
    for (auto& [fd, client] : m_clients) {
        ::close(fd);
    }
    m_clients.clear();
    // The name goes with the socket, unless another listener has taken it over meanwhile.
    struct stat named {};
    if (m_listenFd >= 0 && m_bNamed && ::lstat(m_path.c_str(), &named) == 0 &&
        named.st_dev == m_nameDevice && named.st_ino == m_nameInode) {
        ::unlink(m_path.c_str());
    }
    m_bNamed = false;
    CloseDescriptor(m_listenFd);
    CloseDescriptor(m_timerFd);
    CloseDescriptor(m_eventFd);
    m_bListenerWatched = false;
}

void CShowWindowListener::WatchListener(bool bWatch) {
    if (m_eventFd < 0 || bWatch == m_bListenerWatched) {
        return;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = m_listenFd;
    ::epoll_ctl(m_eventFd, bWatch ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, m_listenFd, &event);
    m_bListenerWatched = bWatch;
}

void CShowWindowListener::HandleEvents() {
    if (m_eventFd < 0) {
        return;
    }
    epoll_event events[32];
    int count = 0;
    while ((count = ::epoll_wait(m_eventFd, events, 32, 0)) > 0) {
        for (int i = 0; i < count && m_eventFd >= 0; ++i) {
            const int fd = events[i].data.fd;
            if (fd == m_listenFd) {
                Accept();
            } else if (fd == m_timerFd) {
                std::uint64_t expirations = 0;
                (void)::read(m_timerFd, &expirations, sizeof expirations);
                ExpireClients();
            } else if (m_clients.contains(fd)) {
                Read(fd);
            }
        }
        if (count < 32) {
            break;
        }
    }
    if (m_eventFd >= 0) {
        ArmTimer();
    }
}

void CShowWindowListener::Accept() {
    while (m_clients.size() < kMaxClients) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;  // none waiting (or it went away before it was taken)
        }
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = fd;
        if (::epoll_ctl(m_eventFd, EPOLL_CTL_ADD, fd, &event) != 0) {
            ::close(fd);
            continue;
        }
        m_clients[fd] = Client{std::string(), std::chrono::steady_clock::now() + kRequestTimeout};
        // What it sent before it was taken is there to read already.
        Read(fd);
    }
    // Those still waiting are taken as soon as one of these is done.
    WatchListener(false);
}

void CShowWindowListener::Read(int fd) {
    char buffer[kMaxRequestLength + 1];
    for (;;) {
        const auto found = m_clients.find(fd);
        if (found == m_clients.end()) {
            return;
        }
        std::string& received = found->second.received;
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (count <= 0) {
            Drop(fd);  // it hung up (or failed) before its line was whole: no answer
            return;
        }
        received.append(buffer, static_cast<std::size_t>(count));
        const std::size_t end = received.find('\n');
        if (end != std::string::npos && end <= kMaxRequestLength) {
            const long lParam = RequestParameter(std::string_view(received).substr(0, end));
            Answer(fd, m_handler ? m_handler(lParam) : 0);
            return;
        }
        if (received.size() > kMaxRequestLength) {
            // Too long to be a request: it asks for nothing.
            Answer(fd, m_handler ? m_handler(0) : 0);
            return;
        }
    }
}

void CShowWindowListener::Answer(int fd, long nAnswer) {
    const std::string answer = std::to_string(nAnswer) + "\n";
    // A few bytes into a connection that has been sent nothing: they fit at once.
    (void)::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    Drop(fd);
}

void CShowWindowListener::Drop(int fd) {
    if (m_clients.erase(fd) == 0) {
        return;
    }
    ::epoll_ctl(m_eventFd, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
    if (m_clients.size() < kMaxClients) {
        WatchListener(true);
    }
}

void CShowWindowListener::ExpireClients() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<int> expired;
    for (const auto& [fd, client] : m_clients) {
        if (client.deadline <= now) {
            expired.push_back(fd);
        }
    }
    for (const int fd : expired) {
        Drop(fd);
    }
}

void CShowWindowListener::ArmTimer() {
    itimerspec when{};
    if (!m_clients.empty()) {
        auto first = m_clients.begin()->second.deadline;
        for (const auto& [fd, client] : m_clients) {
            first = std::min(first, client.deadline);
        }
        // steady_clock is CLOCK_MONOTONIC on Linux, the timer's clock.
        const auto since =
            std::chrono::duration_cast<std::chrono::nanoseconds>(first.time_since_epoch()).count();
        when.it_value.tv_sec = static_cast<time_t>(since / 1000000000);
        when.it_value.tv_nsec = static_cast<long>(since % 1000000000);
        if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0) {
            when.it_value.tv_nsec = 1;  // zero would disarm it
        }
    }
    ::timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &when, nullptr);
}

long CShowWindowListener::RequestParameter(std::string_view request) {
    if (!request.empty() && request.back() == '\r') {
        request.remove_suffix(1);
    }
    if (request.empty() || request.size() > 10) {
        return 0;
    }
    long long value = 0;
    for (const char c : request) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return static_cast<long>(value);
}
