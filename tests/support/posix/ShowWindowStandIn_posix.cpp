#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "ShowWindowStandIn.h"
#include "platform/ShowWindowRequest.h"

struct ShowWindowStandIn::Impl {
    long answer = 0;
    int listener = -1;
    std::atomic<bool> bStop{false};
    mutable std::mutex mutex;
    std::vector<long> requests;  // under mutex
    std::thread thread;

    void Serve() {
        while (!bStop) {
            pollfd item{listener, POLLIN, 0};
            if (::poll(&item, 1, 50) <= 0) {
                continue;
            }
            const int peer = ::accept(listener, nullptr, nullptr);
            if (peer < 0) {
                continue;
            }
            std::string request;
            char buffer[16];
            while (request.find('\n') == std::string::npos) {
                const ssize_t count = ::read(peer, buffer, sizeof buffer);
                if (count <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(count));
            }
            {
                std::lock_guard lock(mutex);
                requests.push_back(std::strtol(request.c_str(), nullptr, 10));
            }
            const std::string reply = std::to_string(answer) + "\n";
            [[maybe_unused]] const ssize_t written = ::write(peer, reply.data(), reply.size());
            ::close(peer);
        }
    }
};

ShowWindowStandIn::ShowWindowStandIn(long answer) : m_impl(std::make_unique<Impl>()) {
    m_impl->answer = answer;
    const std::string path = ShowWindowRequestTarget();
    m_impl->listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (m_impl->listener < 0 ||
        ::bind(m_impl->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_impl->listener, 4) != 0) {
        if (m_impl->listener >= 0) {
            ::close(m_impl->listener);
        }
        m_impl->listener = -1;
        return;
    }
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->Serve(); });
}

ShowWindowStandIn::~ShowWindowStandIn() {
    m_impl->bStop = true;
    if (m_impl->thread.joinable()) {
        m_impl->thread.join();
    }
    if (m_impl->listener >= 0) {
        ::close(m_impl->listener);
        ::unlink(ShowWindowRequestTarget().c_str());
    }
}

bool ShowWindowStandIn::IsListening() const {
    return m_impl->listener >= 0;
}

std::vector<long> ShowWindowStandIn::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}
