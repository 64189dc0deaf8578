// `tillstream-cli flows` as a user runs it: the table of a capture's flows on standard output,
// and a damaged capture or a file that is none refused on standard error with exit code 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaptureWriter.h"
#include "ChildProcess.h"
#include "TempHome.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;
constexpr std::int64_t kStart = 1796536752LL * 1000000000;  // 2026-12-06 05:59:12 UTC

class CliFlowsTest : public TempHomeTest {};

TEST_F(CliFlowsTest, ListsEachFlowWithItsCountsAndTimesAndRefusesWhatItCannotRead) {
    const TestEndpoint till{"10.0.0.5", 50000};
    const TestEndpoint device{"10.0.0.9", 9100};
    const TestEndpoint till6{"fd00::5", 40000};
    const TestEndpoint device6{"fd00::9", 9104};
    PcapngFileWriter file(CaptureByteOrder::kLittle);
    file.Interface(1, 0, 9);  // nanoseconds
    auto add = [&file](std::int64_t at, const std::string& packet) {
        file.Enhanced(0, static_cast<std::uint64_t>(kStart + at), EthernetFrame(packet));
    };
    add(0, TcpPacket(till, device, 1, 0x02, ""));
    add(1500, TcpPacket(device, till, 9, 0x12, ""));
    add(250000000, TcpPacket(till, device, 2, 0x18, "Coffee\r\n"));
    add(1250000999, TcpPacket(till, device, 10, 0x18, "TOTAL\r\n"));
    add(2000000000, UdpPacket(till6, device6, "\x1dVB"));
    file.Enhanced(0, static_cast<std::uint64_t>(kStart) + 3000000000,
                  EthernetFrameOf(0x0806, std::string(28, '\0')));
    const std::string path = home.Path("till.pcapng");
    WriteFileBytes(path, file.Bytes());

    std::string out;
    std::string err;
    ASSERT_EQ(RunChild(kCli, {"flows", path}, &out, &err), 0) << err;
    EXPECT_EQ(out,
              "proto  from             to              packets  payload bytes  first (UTC)        "
              "         last (UTC)\n"
              "tcp    10.0.0.5:50000   10.0.0.9:9100         3             15  2026-12-06 "
              "05:59:12.000000  2026-12-06 05:59:13.250000\n"
              "tcp    10.0.0.9:9100    10.0.0.5:50000        1              0  2026-12-06 "
              "05:59:12.000001  2026-12-06 05:59:12.000001\n"
              "udp    [fd00::5]:40000  [fd00::9]:9104        1              3  2026-12-06 "
              "05:59:14.000000  2026-12-06 05:59:14.000000\n"
              "6 packets: 5 in 3 flows, 1 neither TCP nor UDP\n");
    EXPECT_EQ(err, "");

    const std::string cut = home.Path("cut.pcapng");
    WriteFileBytes(cut, file.Bytes().substr(0, file.Bytes().size() - 10));
    const std::string text = home.Path("receipt.txt");
    WriteFileBytes(text, "Coffee\r\n");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"flows", cut},
         1,
         "tillstream-cli flows: '" + cut +
             "': offset 536: the file ends inside packet 6 (76 bytes announced, 66 there)\n"},
        {{"flows", text},
         1,
         "tillstream-cli flows: '" + text +
             "': not a pcap or pcapng capture (it begins with 43 6f 66 66)\n"},
        {{"flows"},
         2,
         "tillstream-cli flows: CAPTURE is missing (see 'tillstream-cli flows --help')\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(RunChild(kCli, c.args, &out, &err), c.exitCode);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, c.err);
    }
}
}  // namespace
