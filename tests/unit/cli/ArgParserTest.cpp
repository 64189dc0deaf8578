// The command line's own parser and the strict readers of flag values.
#include <gtest/gtest.h>

#include "cli/ArgParser.h"
#include "cli/FlagValues.h"

namespace {
const CArgParser kParser({{"help", false}, {"delay", true}, {"loop", false}, {"tcp", true}});

TEST(ArgParser, TakesBothValueFormsSwitchesAndPositionalsInOrder) {
    CParsedArgs parsed;
    std::string error;
    ASSERT_TRUE(kParser.Parse({"a.txt", "--delay", "10", "--loop", "--tcp=h:1", "b", "--", "--x"},
                              parsed, error))
        << error;
    EXPECT_EQ(*parsed.Value("delay"), "10");
    EXPECT_EQ(*parsed.Value("tcp"), "h:1");
    EXPECT_TRUE(parsed.Has("loop"));
    EXPECT_FALSE(parsed.Has("help"));
    EXPECT_EQ(parsed.Positionals(), (std::vector<std::string>{"a.txt", "b", "--x"}));

    // The last of a repeated flag wins; an empty value after "=" is a value; "-h" is help.
    ASSERT_TRUE(kParser.Parse({"--delay=1", "--delay=", "-h", "-"}, parsed, error));
    EXPECT_EQ(*parsed.Value("delay"), "");
    EXPECT_TRUE(parsed.Has("help"));
    EXPECT_EQ(parsed.Positionals(), (std::vector<std::string>{"-"}));
}

TEST(ArgParser, RefusesWhatItDoesNotKnowNamingTheFlag) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--dealy", "5"}, "unknown option '--dealy'"},
        {{"--dealy=5"}, "unknown option '--dealy'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--delay"}, "option '--delay' needs a value"},
        {{"--loop=1"}, "option '--loop' takes no value"},
        {{"--=3"}, "unknown option '--'"},
    };
    for (const auto& [args, message] : cases) {
        CParsedArgs parsed;
        std::string error;
        EXPECT_FALSE(kParser.Parse(args, parsed, error)) << args.front();
        EXPECT_EQ(error, message);
    }
}

TEST(FlagValues, NumbersAndEndpointsAreStrict) {
    std::uint64_t value = 0;
    EXPECT_TRUE(ParseUnsignedFlag("500", 0, 1000, value));
    EXPECT_EQ(value, 500u);
    for (const char* bad :
         {"", "-1", "+1", " 1", "1 ", "1e3", "0x10", "1001", "99999999999999999999"}) {
        EXPECT_FALSE(ParseUnsignedFlag(bad, 0, 1000, value)) << bad;
    }

    std::string host = "default";
    std::uint16_t port = 0;
    std::string error;
    EXPECT_TRUE(ParseEndpointFlag("pos.example:9100", false, false, host, port, error));
    EXPECT_EQ(host, "pos.example");
    EXPECT_EQ(port, 9100);
    // Port alone keeps the default host where the host is optional; port 0 only where allowed.
    host = "0.0.0.0";
    EXPECT_TRUE(ParseEndpointFlag("0", true, true, host, port, error));
    EXPECT_EQ(host, "0.0.0.0");
    EXPECT_EQ(port, 0);
    EXPECT_FALSE(ParseEndpointFlag("9100", false, false, host, port, error));
    EXPECT_FALSE(ParseEndpointFlag("h:0", false, false, host, port, error));
    EXPECT_FALSE(ParseEndpointFlag("h:65536", true, true, host, port, error));
    EXPECT_NE(error.find("65536"), std::string::npos);
    EXPECT_FALSE(ParseEndpointFlag(":80", true, true, host, port, error));
}

TEST(FlagValues, ComPorts) {
    int port = -1;
    EXPECT_TRUE(ParseComPortFlag("COM7", port));
    EXPECT_EQ(port, 7);
    EXPECT_TRUE(ParseComPortFlag("\\\\.\\com12", port));
    EXPECT_EQ(port, 12);
    EXPECT_TRUE(ParseComPortFlag("3", port));
    EXPECT_EQ(port, 3);
    EXPECT_FALSE(ParseComPortFlag("COM", port));
    EXPECT_FALSE(ParseComPortFlag("LPT1", port));
}

TEST(FlagValues, LineSettingFlagsReplaceOnlyWhatIsGivenAndAllOrNothing) {
    const CArgParser parser(
        {{"baud", true}, {"parity", true}, {"data-bits", true}, {"stop-bits", true}});
    CParsedArgs parsed;
    std::string error;
    ASSERT_TRUE(parser.Parse({"--baud", "115200", "--stop-bits", "2"}, parsed, error));
    std::uint32_t baud = 9600;
    std::int32_t parity = 1, dataBits = 8, stopBits = 0;
    ASSERT_TRUE(ApplyLineSettingFlags(parsed, baud, parity, dataBits, stopBits, error));
    EXPECT_EQ(baud, 115200u);
    EXPECT_EQ(parity, 1);
    EXPECT_EQ(dataBits, 8);
    EXPECT_EQ(stopBits, 2);

    ASSERT_TRUE(parser.Parse({"--baud", "300", "--data-bits", "9"}, parsed, error));
    EXPECT_FALSE(ApplyLineSettingFlags(parsed, baud, parity, dataBits, stopBits, error));
    EXPECT_NE(error.find("--data-bits"), std::string::npos);
    EXPECT_EQ(baud, 115200u) << "nothing applied when one value is bad";
}
}  // namespace
