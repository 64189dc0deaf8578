#include "platform/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

#include "platform/Socket.h"

SystemError ListLocalIPv4Addresses(std::vector<std::uint32_t>& addresses) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return LastSystemError();
    }
    addresses.clear();
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const std::uint32_t dwAddr =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        // An interface being set up may show 0.0.0.0; that is no address of ours.
        if (dwAddr == 0 || IsMulticastAddress(dwAddr) ||
            std::find(addresses.begin(), addresses.end(), dwAddr) != addresses.end()) {
            continue;
        }
        addresses.push_back(dwAddr);
    }
    ::freeifaddrs(list);
    return {};
}
