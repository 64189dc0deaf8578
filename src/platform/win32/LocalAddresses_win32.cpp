#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/LocalAddresses.h"
#include "platform/Socket.h"

SystemError ListLocalIPv4Addresses(std::vector<std::uint32_t>& addresses) {
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list may grow between the call that sizes it and the one that fills it: try again.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result =
            GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    addresses.clear();
    if (result == ERROR_NO_DATA) {
        return {};
    }
    if (result != NO_ERROR) {
        return SystemErrorFromCode(result);
    }
    for (const IP_ADAPTER_ADDRESSES* adapter =
             reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress;
             unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            const std::uint32_t dwAddr =
                ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
            if (dwAddr == 0 || IsMulticastAddress(dwAddr) ||
                std::find(addresses.begin(), addresses.end(), dwAddr) != addresses.end()) {
                continue;
            }
            addresses.push_back(dwAddr);
        }
    }
    return {};
}
