// tillstream-cli rig as a process: many lanes from one rig file to loopback receivers, every lane
// checked before anything is sent, and Ctrl-C ending all lanes cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempHome.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

std::string TcpTarget(const LoopbackTcpServer& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
}

// The summary's rows, each split at its runs of spaces.
std::vector<std::vector<std::string>> SummaryRows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;) {
            row.push_back(word);
        }
        rows.push_back(row);
    }
    return rows;
}

class CliRigTest : public TempHomeTest {};

TEST_F(CliRigTest, EightLanesToEightReceiversEachDeliverExactlyTheirFile) {
    constexpr int kLanes = 8;
    std::vector<std::unique_ptr<LoopbackTcpServer>> servers;
    std::vector<std::string> contents;
    std::string rig = "{\"lanes\": [\n";
    for (int n = 1; n <= kLanes; ++n) {
        servers.push_back(std::make_unique<LoopbackTcpServer>());
        std::string content;
        for (int line = 1; line <= 5 + n; ++line) {
            content += "lane " + std::to_string(n) + " line " + std::to_string(line) + "\r\n";
        }
        // Relative to the rig file's folder.
        WriteFileBytes(home.Path("lane" + std::to_string(n) + ".txt"), content);
        contents.push_back(content);
        rig += std::string(n > 1 ? ",\n" : "") + "  {\"file\": \"lane" + std::to_string(n) +
               ".txt\", \"tcp\": \"" + TcpTarget(*servers.back()) +
               "\", \"delay\": " + std::to_string(n) + "}";
    }
    // The last lane loops once round and one line more.
    rig.replace(rig.rfind('}'), 1,
                ", \"loop\": true, \"count\": " + std::to_string(2 * (5 + kLanes) + 1) + "}");
    rig += "\n]}\n";
    WriteFileBytes(home.Path("rig.json"), rig);

    std::string out;
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"rig", home.Path("rig.json")}, &out, &err), 0) << err;
    const std::string lastFile = contents.back();
    contents.back() = lastFile + lastFile + lastFile.substr(0, lastFile.find('\n') + 1);
    for (int n = 0; n < kLanes; ++n) {
        ASSERT_TRUE(servers[n]->WaitForClosed(1)) << "lane " << n + 1;
        EXPECT_EQ(servers[n]->ConnectionCount(), 1u) << "lane " << n + 1;
        EXPECT_EQ(servers[n]->Received(), contents[n]) << "lane " << n + 1;
    }
    // One row per lane: lane, to, file, sent, not delivered, mean and p99 deviation.
    const auto rows = SummaryRows(out);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kLanes)) << out;
    for (int n = 0; n < kLanes; ++n) {
        ASSERT_EQ(rows[n].size(), 8u) << out;
        EXPECT_EQ(rows[n][0], std::to_string(n + 1)) << out;
        EXPECT_EQ(rows[n][2], TcpTarget(*servers[n])) << out;
        EXPECT_EQ(rows[n][3], "lane" + std::to_string(n + 1) + ".txt") << out;
        const std::size_t lines = n + 1 < kLanes ? 5 + n + 1 : 2 * (5 + kLanes) + 1;
        EXPECT_EQ(rows[n][4], std::to_string(lines)) << out;
        EXPECT_EQ(rows[n][5], "0") << out;
        EXPECT_NE(rows[n][6], "-") << out;  // every lane had pauses to measure
    }
}

TEST_F(CliRigTest, ALaneFileNamedLikeAFlagIsStillTheLanesFile) {
    // Names the play command line would take for a flag, or for the end of the flags.
    const std::vector<std::string> names = {"-lane.txt", "--", "--delay=5"};
    std::vector<std::unique_ptr<LoopbackTcpServer>> servers;
    std::string rig = "{\"lanes\": [";
    for (std::size_t n = 0; n < names.size(); ++n) {
        servers.push_back(std::make_unique<LoopbackTcpServer>());
        WriteFileBytes(home.Path(names[n]), names[n] + "\r\n");
        rig += std::string(n > 0 ? ", " : "") + "{\"file\": \"" + names[n] + "\", \"tcp\": \"" +
               TcpTarget(*servers[n]) + "\", \"delay\": 1}";
    }
    WriteFileBytes(home.Path("rig.json"), rig + "]}");

    std::string out;
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"rig", home.Path("rig.json")}, &out, &err), 0) << err;
    const auto rows = SummaryRows(out);
    ASSERT_EQ(rows.size(), names.size()) << out;
    for (std::size_t n = 0; n < names.size(); ++n) {
        ASSERT_TRUE(servers[n]->WaitForClosed(1)) << names[n];
        EXPECT_EQ(servers[n]->Received(), names[n] + "\r\n");
        ASSERT_EQ(rows[n].size(), 8u) << out;
        EXPECT_EQ(rows[n][3], names[n]) << out;
    }
}

TEST_F(CliRigTest, ARigWithABadLaneIsRefusedNamingItBeforeAnyLaneSends) {
    WriteFileBytes(home.Path("good.txt"), "A\nB\n");
    LoopbackTcpServer first;
    LoopbackTcpServer second;
    const std::string goodLanes = "{\"file\": \"good.txt\", \"tcp\": \"" + TcpTarget(first) +
                                  "\"}, {\"file\": \"good.txt\", \"tcp\": \"" + TcpTarget(second) +
                                  "\", \"delay\": 5}";
    struct Case {
        std::string rig;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"{\"lanes\": [" + goodLanes + ", {\"file\": \"missing.txt\", \"udp\": \"127.0.0.1:9\"}]}",
         "rig: lane 3: cannot read"},
        {"{\"lanes\": [" + goodLanes + ", {\"file\": \"good.txt\", \"tcp\": \"127.0.0.1:9\", " +
             "\"delay\": -5}]}",
         "rig: lane 3: --delay"},
        {"{\"lanes\": [" + goodLanes + ", {\"file\": \"good.txt\", \"tcp\": \"127.0.0.1:9\", " +
             "\"dleay\": 5}]}",
         "lane 3: unknown key 'dleay'"},
        {"{\"lanes\": [" + goodLanes + ", {\"file\": \"good.txt\", \"udp\": \"127.0.0.1:9\", " +
             "\"tcp\": \"127.0.0.1:9\"}]}",
         "rig: lane 3: "},
        // Malformed: the library's own position of the error.
        {"{\"lanes\": [\n" + goodLanes + ",\n  {\"file\": \"good.txt\",, }\n]}",
         "not valid JSON: parse error at line 3, column"},
    };
    for (const Case& refused : cases) {
        WriteFileBytes(home.Path("rig.json"), refused.rig);
        std::string out;
        std::string err;
        EXPECT_EQ(RunChild(kCli, {"rig", home.Path("rig.json")}, &out, &err), 1) << refused.rig;
        EXPECT_NE(err.find(refused.message), std::string::npos) << err;
        EXPECT_EQ(out, "") << refused.rig;
    }
    // Had any lane started, its connection would be waiting at its receiver by now.
    EXPECT_FALSE(first.WaitForConnections(1, std::chrono::milliseconds(300)));
    EXPECT_FALSE(second.WaitForConnections(1, std::chrono::milliseconds(300)));
}

TEST_F(CliRigTest, CtrlCEndsEveryLaneCleanlyAndStillPrintsTheSummary) {
    WriteFileBytes(home.Path("slow.txt"), "tick\n");
    LoopbackTcpServer first;
    LoopbackTcpServer second;
    WriteFileBytes(home.Path("rig.json"),
                   "{\"lanes\": [{\"file\": \"slow.txt\", \"tcp\": \"" + TcpTarget(first) +
                       "\", \"delay\": 10000, \"loop\": true}, {\"file\": \"slow.txt\", "
                       "\"listen\": \"127.0.0.1:0\", \"delay\": 10000}]}");
    ChildProcess rig(kCli, {"rig", home.Path("rig.json")});
    ASSERT_TRUE(rig.Started());
    // One lane waits in its pause, the other for a device that never comes.
    ASSERT_TRUE(first.WaitForBytes(5));
    ASSERT_TRUE(rig.WaitForStderr("lane 2: listening on tcp 127.0.0.1:"));
    rig.Interrupt();
    const std::optional<int> code = rig.Wait(std::chrono::seconds(9));
    ASSERT_TRUE(code.has_value()) << "still running after Ctrl-C";
    EXPECT_EQ(*code, 130);
    EXPECT_TRUE(first.WaitForClosed(1));
    EXPECT_EQ(first.Received(), "tick\n");
    const auto rows = SummaryRows(rig.Stdout());
    ASSERT_EQ(rows.size(), 2u) << rig.Stdout();
    EXPECT_EQ(rows[0][4], "1") << rig.Stdout();
    EXPECT_EQ(rows[1][4], "0") << rig.Stdout();
}
}  // namespace
