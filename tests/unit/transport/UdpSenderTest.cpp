// The UDP sender against a real loopback receiver: the datagrams a device would get.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "transport/UdpSender.h"

namespace {

int SendLine(CUdpSender& sender, std::uint32_t addr, int port, const std::string& line) {
    return sender.Send(addr, port, line.data(), static_cast<int>(line.size()));
}

}  // namespace

TEST(UdpSender, EachLineIsOneDatagramInOrder) {
    LoopbackUdpReceiver receiver;
    CUdpSender sender;
    EXPECT_FALSE(sender.IsOpen()) << "nothing is opened before the first line";
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port(), "TOTAL 12.50\n"), 12);
    EXPECT_TRUE(sender.IsOpen());
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port(), "CASH 20.00\n"), 11);
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port(), ""), 0);
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port(), std::string("\x02\0\x03", 3)), 3);
    ASSERT_TRUE(receiver.WaitForDatagrams(4));
    EXPECT_EQ(receiver.Datagrams(), (std::vector<std::string>{"TOTAL 12.50\n", "CASH 20.00\n", "",
                                                              std::string("\x02\0\x03", 3)}));
    EXPECT_EQ(sender.Close(), 0);
    EXPECT_FALSE(sender.IsOpen());
    // A closed sender opens again on the next line.
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port(), "again\n"), 6);
    ASSERT_TRUE(receiver.WaitForDatagrams(5));
    EXPECT_EQ(receiver.Datagrams().back(), "again\n");
}

TEST(UdpSender, LineLongerThanOneDatagramGoesOutAsSeveralInOrder) {
    LoopbackUdpReceiver receiver;
    CUdpSender sender;
    std::string line(2 * CUdpSender::kMaxDatagram + 18986, '\0');
    for (std::size_t i = 0; i < line.size(); ++i) {
        line[i] = static_cast<char>('a' + (i / 1000) % 26);
    }
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port(), line),
              static_cast<int>(line.size()));
    ASSERT_TRUE(receiver.WaitForDatagrams(3));
    const std::vector<std::string> got = receiver.Datagrams();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].size(), 65507u);
    EXPECT_EQ(got[1].size(), 65507u);
    EXPECT_EQ(got[2].size(), 18986u);
    EXPECT_TRUE(got[0] + got[1] + got[2] == line);

    // Exactly the largest datagram is still one.
    const std::string largest(CUdpSender::kMaxDatagram, 'L');
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port(), largest), 65507);
    ASSERT_TRUE(receiver.WaitForDatagrams(4));
    EXPECT_EQ(receiver.Datagrams().size(), 4u);
}

TEST(UdpSender, ZeroAddressOrPortIsRefusedWithoutOpeningASocket) {
    LoopbackUdpReceiver receiver;
    CUdpSender sender;
    EXPECT_EQ(SendLine(sender, 0, receiver.Port(), "x\n"), -1);
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, 0, "x\n"), -1);
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, -7, "x\n"), -1);
    EXPECT_FALSE(sender.IsOpen());

    // Port numbers above 65535 use their low 16 bits, as for TCP; the receiver gets only this.
    EXPECT_EQ(SendLine(sender, kLoopbackAddress, receiver.Port() + 3 * 65536, "low bits\n"), 9);
    ASSERT_TRUE(receiver.WaitForDatagrams(1));
    EXPECT_EQ(receiver.Datagrams(), std::vector<std::string>{"low bits\n"});
}
