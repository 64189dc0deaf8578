// What a user of tillstream-cli sees of its command line itself: help, version, the form of the
// flags, and the one-line refusal (exit 2) of everything it cannot take, before anything is done.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "ProgramVersion.h"
#include "TempHome.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

class CliUsageTest : public TempHomeTest {};

TEST_F(CliUsageTest, HelpAndVersionGoToStandardOutput) {
    for (const char* command :
         {"play", "receive", "convert", "restore", "capture", "options", "show"}) {
        for (const char* help : {"--help", "-h"}) {
            std::string out;
            std::string err;
            EXPECT_EQ(RunChild(kCli, {command, help}, &out, &err), 0) << command;
            EXPECT_EQ(out.rfind(std::string("Usage: tillstream-cli ") + command, 0), 0u) << out;
            EXPECT_NE(out.find("Exit codes: 0 "), std::string::npos) << out;
            EXPECT_EQ(err, "");
        }
    }
    std::string out;
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"--version"}, &out), 0);
    EXPECT_EQ(out, std::string("tillstream-cli ") + kProgramVersion + "\n");
    EXPECT_EQ(RunChild(kCli, {"help"}, &out), 0);
    EXPECT_EQ(out.rfind("Usage: tillstream-cli COMMAND", 0), 0u) << out;
    // Without a command the overview is a usage error.
    EXPECT_EQ(RunChild(kCli, {}, &out, &err), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err.rfind("Usage: tillstream-cli COMMAND", 0), 0u) << err;
}

TEST_F(CliUsageTest, FlagsTakeBothFormsTheLastOfARepeatAndDecimalNumbersOnly) {
    // A file whose name looks like a flag, after "--"; --count=010 is ten, not octal eight; the
    // last --count given wins.
    const std::string file = home.Path("-dash.txt");
    WriteFileBytes(file, "x\n");
    LoopbackTcpServer server;
    std::string err;
    EXPECT_EQ(RunChild(kCli,
                       {"play", "--tcp", "127.0.0.1:" + std::to_string(server.Port()), "--delay=0",
                        "--loop", "--count", "3", "--count=010", "--quiet", "--", file},
                       nullptr, &err),
              0)
        << err;
    ASSERT_TRUE(server.WaitForClosed(1));
    std::string tenLines;
    for (int n = 0; n < 10; ++n) {
        tenLines += "x\n";
    }
    EXPECT_EQ(server.Received(), tenLines);
}

TEST_F(CliUsageTest, WhatCannotBeTakenIsRefusedInOneLineNamingItAndNothingIsDone) {
    const std::string file = home.Path("data.txt");
    WriteFileBytes(file, "x\n");
    LoopbackTcpServer server;
    const std::string target = "127.0.0.1:" + std::to_string(server.Port());
    struct Case {
        std::vector<std::string> args;
        std::string prefix;
        std::string names;
    };
    const std::vector<Case> cases = {
        {{"paly", file}, "tillstream-cli: ", "unknown command 'paly'"},
        {{"play", file, "--tcp", target, "--dealy=5"}, "tillstream-cli play: ", "'--dealy'"},
        {{"play", file, "--tcp", target, "-x"}, "tillstream-cli play: ", "'-x'"},
        {{"play", file, "--tcp", target, "-h", "--bogus"}, "tillstream-cli play: ", "'--bogus'"},
        {{"play", file, "--tcp", target, "--delay"}, "tillstream-cli play: ", "'--delay' needs"},
        {{"play", file, "--tcp", target, "--quiet=yes"}, "tillstream-cli play: ", "'--quiet'"},
        {{"play", file, "--tcp", target, "--delay", "0x10"}, "tillstream-cli play: ", "--delay"},
        {{"play", file, "--tcp", target, "--delay", "-1"}, "tillstream-cli play: ", "--delay"},
        {{"play", file, "--tcp", target, "--delay", " 1"}, "tillstream-cli play: ", "--delay"},
        {{"play", file, "--tcp", target, "--delay", "4294967296"},
         "tillstream-cli play: ",
         "--delay"},
        {{"play", file, "--tcp", target, "--stop-bits", "0"},
         "tillstream-cli play: ",
         "--stop-bits"},
        {{"play", file, "--tcp", target, "--data-bits", "9"},
         "tillstream-cli play: ",
         "--data-bits"},
        {{"play", file, file, "--tcp", target}, "tillstream-cli play: ", "only one FILE"},
        {{"receive", "--tcp", "0", "--baud", "9600"}, "tillstream-cli receive: ", "--serial only"},
        {{"convert"}, "tillstream-cli convert: ", "FILE is missing"},
        {{"show", "now"}, "tillstream-cli show: ", "unexpected argument 'now'"},
        {{"options", "--json=1"}, "tillstream-cli options: ", "'--json'"},
    };
    for (const Case& c : cases) {
        std::string out;
        std::string err;
        EXPECT_EQ(RunChild(kCli, c.args, &out, &err), 2) << err;
        EXPECT_EQ(err.rfind(c.prefix, 0), 0u) << err;
        EXPECT_NE(err.find(c.names), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line: " << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(server.ConnectionCount(), 0u);
    EXPECT_FALSE(FileExists(home.SettingsFolder() + "/OptionData"));
}
}  // namespace
