// tillstream-cli rig under a limit on open files that its lanes cannot live with: refused before
// anything is sent, naming what it would need and what it may have.
#include <gtest/gtest.h>

#include <string>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempHome.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

class CliRigPosixTest : public ProcessHomeTest {};

TEST_F(CliRigPosixTest, ARigThatWouldRunOutOfOpenFilesIsRefusedBeforeAnyLaneSends) {
    LoopbackTcpServer server;
    WriteFileBytes(home.Path("lane.txt"), "TOTAL 12.50\n");
    std::string rig = "{\"lanes\": [";
    for (int n = 0; n < 100; ++n) {
        rig += std::string(n > 0 ? ", " : "") +
               "{\"file\": \"lane.txt\", \"tcp\": \"127.0.0.1:" + std::to_string(server.Port()) +
               "\"}";
    }
    WriteFileBytes(home.Path("rig.json"), rig + "]}");
    std::string out;
    std::string err;
    // A hard limit of 64: the rig raises its own limit that far, and no further.
    EXPECT_EQ(
        RunChild("/bin/sh",
                 {"-c", "ulimit -n 64 && exec \"$0\" rig \"$1\"", kCli, home.Path("rig.json")},
                 &out, &err),
        1);
    EXPECT_NE(err.find("tillstream-cli rig: 100 lanes need about "), std::string::npos) << err;
    EXPECT_NE(err.find(" open files; this process may open 64 (ulimit -n)"), std::string::npos)
        << err;
    EXPECT_EQ(out, "");
    EXPECT_FALSE(server.WaitForConnections(1, std::chrono::milliseconds(300)));
}
}  // namespace
