#include "platform/SocketAddress.h"

#include <cstring>

// This system's socket headers: the back end's folder is on the include path of this library.
#include "SocketHeaders.h"

sockaddr_in MakeAddress(std::uint32_t dwAddr, std::uint16_t wPort) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(dwAddr);
    address.sin_port = htons(wPort);
    return address;
}

bool LookUpIPv4Host(const std::string& host, std::uint32_t& dwAddr, int& status) {
    in_addr parsed{};
    if (inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        dwAddr = ntohl(parsed.s_addr);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    status = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (status != 0 || result == nullptr) {
        return false;
    }
    dwAddr = ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(result);
    return true;
}
