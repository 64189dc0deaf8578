// The capture reader against libpcap, the library tcpdump and Wireshark read with: the same files
// give the same packets, lengths, bytes and stamps (to the nanosecond), and a file cut off
// anywhere stops both after the same packets. And a real capture: tcpdump records a TCP exchange
// on the loopback interface, and the stream put back together is what was sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CaptureSamples.h"
#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempHome.h"
#include "datafile/CaptureFile.h"
#include "datafile/CaptureFlows.h"
#include "posix/LoopbackCapture.h"

namespace {
// The packets read, and whether the file was refused (at the open or later) rather than read to
// its end. libpcap reads a pcapng file's first interface when it opens the file, the reader
// when it reads on, so a damaged first interface is refused by both, at different calls.
struct Seen {
    std::vector<CapturedPacket> packets;
    bool bError = true;
    std::string error;
};

Seen ReadWithLibpcap(const std::string& path) {
    Seen seen;
    char error[PCAP_ERRBUF_SIZE] = "";
    pcap_t* capture =
        pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_NANO, error);
    if (capture == nullptr) {
        seen.error = error;
        return seen;
    }
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int result;
    while ((result = pcap_next_ex(capture, &header, &data)) == 1) {
        CapturedPacket packet;
        packet.timeNs = static_cast<std::int64_t>(header->ts.tv_sec) * 1000000000 +
                        header->ts.tv_usec;  // nanoseconds, as asked for
        packet.linkType = static_cast<std::uint32_t>(pcap_datalink(capture));
        packet.capturedLength = header->caplen;
        packet.originalLength = header->len;
        packet.bytes.assign(data, data + header->caplen);
        seen.packets.push_back(std::move(packet));
    }
    seen.bError = result != PCAP_ERROR_BREAK;
    if (seen.bError) {
        seen.error = pcap_geterr(capture);
    }
    pcap_close(capture);
    return seen;
}

Seen ReadWithOurs(const std::string& path) {
    Seen seen;
    CCaptureFile file;
    if (!file.Open(path)) {
        seen.error = file.ErrorText();
        return seen;
    }
    CapturedPacket packet;
    CaptureReadResult result;
    while ((result = file.ReadPacket(packet)) == CaptureReadResult::kPacket) {
        seen.packets.push_back(packet);
    }
    seen.bError = result == CaptureReadResult::kError;
    seen.error = file.ErrorText();
    return seen;
}

class CaptureLibpcapTest : public TempHomeTest {};

TEST_F(CaptureLibpcapTest, LibpcapReadsTheSamePacketsAndStampsAndStopsWhereTheReaderDoes) {
    const std::string path = home.Path("sample");
    for (const SampleCapture& sample : SampleCaptures()) {
        if (!sample.bLibpcapReads) {
            continue;
        }
        // The whole file, then the file cut off after every byte.
        for (std::size_t size = sample.bytes.size(); size > 0; --size) {
            SCOPED_TRACE(sample.name + ", first " + std::to_string(size) + " bytes");
            WriteFileBytes(path, sample.bytes.substr(0, size));
            const Seen theirs = ReadWithLibpcap(path);
            const Seen ours = ReadWithOurs(path);
            if (sample.name.rfind("pcapng", 0) == 0 && size == 28) {
                // Only the section header: an empty capture to the reader; libpcap wants an
                // interface at the open.
                EXPECT_TRUE(ours.packets.empty() && !ours.bError) << ours.error;
                EXPECT_TRUE(theirs.bError);
                continue;
            }
            ASSERT_EQ(ours.bError, theirs.bError) << ours.error << " | " << theirs.error;
            ASSERT_EQ(ours.packets.size(), theirs.packets.size());
            for (std::size_t n = 0; n < ours.packets.size(); ++n) {
                const CapturedPacket& mine = ours.packets[n];
                const CapturedPacket& other = theirs.packets[n];
                // libpcap gives a packet without a time of its own the time 0, as the reader does.
                EXPECT_EQ(mine.timeNs, other.timeNs) << "packet " << n + 1;
                EXPECT_EQ(mine.linkType, other.linkType);
                EXPECT_EQ(mine.capturedLength, other.capturedLength);
                EXPECT_EQ(mine.originalLength, other.originalLength);
                EXPECT_EQ(mine.bytes, other.bytes);
            }
            if (size == sample.bytes.size()) {
                EXPECT_FALSE(ours.bError);
                EXPECT_EQ(ours.packets.size(), sample.packets.size());
            }
        }
    }
}

TEST_F(CaptureLibpcapTest, ALoopbackExchangeCapturedByTcpdumpComesBackAsSent) {
    LoopbackTcpServer server;
    const std::string port = std::to_string(server.Port());
    const std::string path = home.Path("loopback.pcap");
    std::string why;
    const std::unique_ptr<ChildProcess> capture =
        StartLoopbackCapture(path, "tcp port " + port, why);
    if (!capture) {
        GTEST_SKIP() << why;
    }
    ASSERT_TRUE(capture->Started()) << capture->StartFailure();
    auto connectClient = [&server] {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.Port());
        address.sin_addr.s_addr = htonl(kLoopbackAddress);
        if (client >= 0 &&
            ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(client);
            return -1;
        }
        return client;
    };
    // The capture may start a moment after tcpdump says it listens: empty connections until
    // one shows in the file.
    std::size_t connections = 0;
    const auto deadline = std::chrono::steady_clock::now() + kChildWait;
    while (ReadWithOurs(path).packets.empty() && std::chrono::steady_clock::now() < deadline) {
        const int probe = connectClient();
        ASSERT_GE(probe, 0);
        ::close(probe);
        ++connections;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    const std::vector<std::string> chunks = {"\x1b@VAZ MARKET\r\n", "Coffee beans 1kg  12.90\r\n",
                                             std::string(3000, 'x') + "\r\n", "TOTAL 18.65\r\n"};
    constexpr auto kPause = std::chrono::milliseconds(50);
    std::string sent;
    const int client = connectClient();
    ASSERT_GE(client, 0);
    ++connections;
    for (std::size_t n = 0; n < chunks.size(); ++n) {
        if (n > 0) {
            std::this_thread::sleep_for(kPause);
        }
        if (::send(client, chunks[n].data(), chunks[n].size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(chunks[n].size())) {
            sent += chunks[n];
        }
    }
    ::close(client);
    ASSERT_TRUE(server.WaitForClosed(connections));
    ASSERT_EQ(server.Received(), sent);
    std::size_t total = 0;
    for (const std::string& chunk : chunks) {
        total += chunk.size();
    }
    ASSERT_EQ(sent.size(), total);  // every send took its whole chunk

    // tcpdump writes each packet as it comes: wait until the stream is in the file, then stop it.
    FlowSelector selector;
    selector.destinationPort = server.Port();
    CaptureFlow flow;
    std::string error;
    auto stream = [&flow] {
        std::string joined;
        for (const FlowRecord& record : flow.records) {
            joined += record.bytes;
        }
        return joined;
    };
    const auto streamDeadline = std::chrono::steady_clock::now() + kChildWait;
    while ((!LoadCaptureFlow(path, selector, false, flow, error) || stream() != sent) &&
           std::chrono::steady_clock::now() < streamDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    capture->Interrupt();
    ASSERT_TRUE(capture->Wait().has_value());

    ASSERT_TRUE(LoadCaptureFlow(path, selector, false, flow, error)) << error;
    EXPECT_EQ(stream(), sent);
    // The last chunk left after every pause: the records span at least that (a busy machine
    // only makes it longer).
    ASSERT_FALSE(flow.records.empty());
    const std::int64_t span = flow.records.back().timeNs - flow.records.front().timeNs;
    EXPECT_GE(span, std::chrono::nanoseconds(kPause * (chunks.size() - 1)).count() * 9 / 10);
}
}  // namespace
