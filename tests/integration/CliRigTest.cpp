// tillstream-cli rig as a process: many lanes from one rig file to loopback receivers, every lane
// checked before anything is sent, and Ctrl-C ending all lanes cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
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
        {"{\"lanes\": [" + goodLanes + ", {\"file\": \"good.txt\", \"udp\": \"127.0.0.1:9\", " +
             "\"start\": \"soon\"}]}",
         "lane 3: 'start' is \"soon\", not a whole number of milliseconds"},
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

// A rig of `count` lanes, lane N playing "laneN.txt" (its own lines) to `server` at `delay` ms,
// with `extra` added to every lane; the files' contents, in lane order.
std::vector<std::string> WriteRig(TempHome& home, int count, int lines, int delay,
                                  const LoopbackTcpServer& server, const std::string& extra = "") {
    std::vector<std::string> contents;
    std::string rig = "{\"lanes\": [\n";
    for (int n = 1; n <= count; ++n) {
        std::string content;
        for (int line = 1; line <= lines; ++line) {
            content += "lane " + std::to_string(n) + " line " + std::to_string(line) + "\r\n";
        }
        WriteFileBytes(home.Path("lane" + std::to_string(n) + ".txt"), content);
        contents.push_back(content);
        rig += std::string(n > 1 ? ",\n" : "") + "  {\"file\": \"lane" + std::to_string(n) +
               ".txt\", \"tcp\": \"" + TcpTarget(server) +
               "\", \"delay\": " + std::to_string(delay) + extra + "}";
    }
    WriteFileBytes(home.Path("rig.json"), rig + "\n]}\n");
    return contents;
}

TEST_F(CliRigTest, TwoHundredLanesPlayFromOneProcessOnAFewThreadsAndReportEveryLane) {
    constexpr int kLanes = 200;
    LoopbackTcpServer server;  // every lane connects to it
    std::vector<std::string> contents = WriteRig(home, kLanes, 8, 50, server);
    const std::string report = home.Path("report.json");
    ChildProcess rig(kCli, {"rig", home.Path("rig.json"), "--report", report});
    ASSERT_TRUE(rig.Started()) << rig.StartFailure();
    // The most threads the rig had while its lanes played (a thread per lane would be 200).
    int threads = 0;
    while (!rig.Wait(std::chrono::milliseconds(10)).has_value()) {
        threads = std::max(threads, rig.ThreadCount());
    }
    EXPECT_EQ(rig.Wait(), 0) << rig.Stderr();
    EXPECT_GT(threads, 0);
    EXPECT_LE(threads, static_cast<int>(std::thread::hardware_concurrency()) + 4);

    // Every lane's file arrived whole on a connection of its own.
    ASSERT_TRUE(server.WaitForClosed(kLanes));
    std::vector<std::string> received = server.ReceivedPerConnection();
    std::sort(received.begin(), received.end());
    std::sort(contents.begin(), contents.end());
    EXPECT_TRUE(received == contents);
    // Past 50 lanes the summary is a digest; the report has every lane's row.
    EXPECT_NE(rig.Stdout().find("lanes 200: sent 1600, not delivered 0"), std::string::npos)
        << rig.Stdout();
    const nlohmann::json rows = nlohmann::json::parse(ReadFileBytes(report))["lanes"];
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kLanes));
    for (int n = 0; n < kLanes; ++n) {
        EXPECT_EQ(rows[n]["lane"], n + 1);
        EXPECT_EQ(rows[n]["sent"], 8);
        EXPECT_EQ(rows[n]["not_delivered"], 0);
        EXPECT_EQ(rows[n]["connections"], 1);
        EXPECT_TRUE(rows[n]["p99_deviation_ms"].is_number());
    }
}

TEST_F(CliRigTest, ThreeShardsOfARigPlayEveryLaneExactlyOnce) {
    constexpr int kLanes = 12;
    LoopbackTcpServer server;
    std::vector<std::string> contents = WriteRig(home, kLanes, 3, 1, server);
    std::multiset<int> played;
    for (int shard = 0; shard < 3; ++shard) {
        std::string out;
        std::string err;
        const std::string which = std::to_string(shard) + "/3";
        ASSERT_EQ(RunChild(kCli, {"rig", home.Path("rig.json"), "--shard", which, "--report", "-"},
                           &out, &err),
                  0)
            << err;
        // Standard output holds the report alone; the summary went to standard error.
        const nlohmann::json report = nlohmann::json::parse(out);
        for (const nlohmann::json& row : report["lanes"]) {
            const int lane = row["lane"];
            EXPECT_EQ((lane - 1) % 3, shard) << which;
            EXPECT_EQ(row["sent"], 3);
            played.insert(lane);
        }
        EXPECT_NE(err.find("not delivered"), std::string::npos) << err;
    }
    EXPECT_EQ(played.size(), static_cast<std::size_t>(kLanes));
    for (int lane = 1; lane <= kLanes; ++lane) {
        EXPECT_EQ(played.count(lane), 1u) << "lane " << lane;
    }
    ASSERT_TRUE(server.WaitForClosed(kLanes));
    std::vector<std::string> received = server.ReceivedPerConnection();
    std::sort(received.begin(), received.end());
    std::sort(contents.begin(), contents.end());
    EXPECT_TRUE(received == contents);
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
