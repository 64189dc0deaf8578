#include "platform/ShowWindowRequest.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/SystemError.h"
#include "platform/UserFolders.h"

namespace {
// The result of a request that the system refused, with its reason.
int Refused(std::string& errorText) {
    const SystemError error = LastSystemError();
    errorText = SystemErrorText(error);
    return ShowWindowResultOf(error);
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};
}  // namespace

std::string ShowWindowRequestTarget() {
    return UserRuntimeFolder() + "/" + kShowWindowRequestName;
}

int SendShowWindowRequest(long lParam, std::string& answerLine, int timeoutMs,
                          std::string& errorText) {
    answerLine.clear();
    const std::string socketPath = ShowWindowRequestTarget();
    const std::string request = std::to_string(lParam) + "\n";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        errorText = "socket path too long";
        return kShowWindowFailed;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    Descriptor socket;
    socket.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket.fd < 0 ||
        ::connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return Refused(errorText);
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t count =
            ::send(socket.fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            errorText = SystemErrorText(LastSystemError());
            return kShowWindowFailed;
        }
        sent += static_cast<std::size_t>(count);
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            errorText = "no answer";
            return kShowWindowFailed;
        }
        pollfd entry{socket.fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            errorText = ready == 0 ? "no answer" : SystemErrorText(LastSystemError());
            return kShowWindowFailed;
        }
        char buffer[256];
        const ssize_t count = ::recv(socket.fd, buffer, sizeof buffer, 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            errorText = count == 0 ? "connection closed without an answer"
                                   : SystemErrorText(LastSystemError());
            return kShowWindowFailed;
        }
        received.append(buffer, static_cast<std::size_t>(count));
        if (const auto end = received.find('\n'); end != std::string::npos) {
            answerLine = received.substr(0, end);
            if (!answerLine.empty() && answerLine.back() == '\r') {
                answerLine.pop_back();
            }
            return kShowWindowRequestOk;
        }
    }
}
