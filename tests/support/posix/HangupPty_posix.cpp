#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "HangupPty.h"
#include "platform/UserFolders.h"

struct HangupPty::Impl {
    int master = -1;
    int heldSlave = -1;
    std::string slavePath;
};

HangupPty::HangupPty() : m_impl(std::make_unique<Impl>()) {
    int& master = m_impl->master;
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        throw std::runtime_error("no pseudo-terminal name");
    }
    m_impl->slavePath = name;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
}

bool HangupPty::IsOpen() const {
    return m_impl->master >= 0;
}

HangupPty::~HangupPty() {
    Hangup();
    if (m_impl->heldSlave >= 0) {
        ::close(m_impl->heldSlave);
    }
}

void HangupPty::LinkAsComPort(int n) const {
    const std::filesystem::path folder = ProgramSettingsFolder() + "/ports";
    std::filesystem::create_directories(folder);
    const std::filesystem::path link = folder / ("COM" + std::to_string(n));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(m_impl->slavePath, link);
}

void HangupPty::Write(std::string_view bytes) const {
    const int master = m_impl->master;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(master, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("write to the pty master failed");
        } else {
            pollfd entry{master, POLLOUT, 0};
            ::poll(&entry, 1, 100);
        }
    }
}

std::string HangupPty::Read(std::size_t count, std::chrono::milliseconds timeout) const {
    const int master = m_impl->master;
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{master, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
            // EIO: nobody holds the slave open at the moment.
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, 20);
        }
    }
    return bytes;
}

void HangupPty::Hangup() {
    if (m_impl->master >= 0) {
        ::close(m_impl->master);
        m_impl->master = -1;
    }
}

std::string HangupPty::HoldSlaveOpen() {
    int& held = m_impl->heldSlave;
    if (held < 0) {
        held = ::open(m_impl->slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (held < 0) {
            throw std::runtime_error("cannot hold the pty slave open");
        }
    }
    return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(held);
}
