// This machine's own IPv4 addresses as the system lists them: loopback among them, and each one
// an address a socket here can really be bound to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "platform/LocalAddresses.h"
#include "platform/Socket.h"

namespace {

TEST(LocalAddressesTest, HoldLoopbackAndOnlyAddressesThisMachineCanBindTo) {
    std::vector<std::uint32_t> addresses;
    const SystemError error = ListLocalIPv4Addresses(addresses);
    ASSERT_FALSE(error.Failed()) << SystemErrorText(error);
    EXPECT_EQ(std::count(addresses.begin(), addresses.end(), kLoopbackAddress), 1);
    for (const std::uint32_t dwAddr : addresses) {
        // A bind is refused for an address no interface here holds, and sends nothing.
        CSocket socket = CSocket::OpenDatagram(nullptr);
        EXPECT_EQ(socket.Bind(dwAddr, 0, false), SocketError::kNone) << FormatIPv4Address(dwAddr);
    }
}

}  // namespace
