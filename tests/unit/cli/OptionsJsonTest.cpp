// The option record as `options --json` prints it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/OptionsJson.h"

namespace {
std::string JsonWithFolder(const std::string& folder) {
    OptionRecord record = MakeDefaultOptionRecord();
    EXPECT_TRUE(SetCaptureFolder(record, folder.c_str()));
    return FormatOptionsJson(record);
}

TEST(OptionsJson, NumbersAreNumbersAndStringsAreEscaped) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.outputBaudRate = 4000000000u;
    record.outputDataBits = -3;
    ASSERT_TRUE(SetCaptureFolder(record, "C:\\Till \"A\"\t\x01\x7f/"));
    EXPECT_EQ(FormatOptionsJson(record),
              "{\"loopEnabled\":0,\"delayMs\":500,\"outputInterface\":0,\"outputComPort\":1,"
              "\"outputBaudRate\":4000000000,\"outputParity\":0,\"outputDataBits\":-3,"
              "\"outputStopBits\":0,\"inputComPort\":2,\"inputBaudRate\":9600,\"inputParity\":0,"
              "\"inputDataBits\":8,\"inputStopBits\":0,"
              "\"captureFolder\":\"C:\\\\Till \\\"A\\\"\\t\\u0001\\u007f/\","
              "\"remoteAddress\":\"0.0.0.0\",\"remotePort\":0}\n");
}

TEST(OptionsJson, AFolderThatIsNotUtf8IsReadAsLatin1SoTheJsonStaysValid) {
    EXPECT_NE(JsonWithFolder("caf\xc3\xa9").find("\"captureFolder\":\"caf\xc3\xa9\""),
              std::string::npos);
    // A lone high byte, a truncated sequence, an encoded surrogate: none is UTF-8.
    for (const std::string& folder :
         {std::string("caf\xe9\xff"), std::string("caf\xc3"), std::string("\xed\xa0\x80")}) {
        const std::string json = JsonWithFolder(folder);
        const nlohmann::json parsed = nlohmann::json::parse(json);
        std::string latin1;
        for (const unsigned char byte : folder) {
            latin1 += byte < 0x80 ? std::string(1, static_cast<char>(byte))
                                  : std::string{static_cast<char>(0xC0 | (byte >> 6)),
                                                static_cast<char>(0x80 | (byte & 0x3F))};
        }
        EXPECT_EQ(parsed.at("captureFolder").get<std::string>(), latin1) << json;
    }
    EXPECT_NE(JsonWithFolder("caf\xe9").find("\"captureFolder\":\"caf\\u00e9\""),
              std::string::npos);
}
}  // namespace
