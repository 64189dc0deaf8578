// The option record as `options --json` prints it.
#include <gtest/gtest.h>

#include "cli/OptionsJson.h"

namespace {
TEST(OptionsJson, HasNumbersAsNumbersAndEscapedStrings) {
    OptionRecord record = MakeDefaultOptionRecord();
    ASSERT_TRUE(SetCaptureFolder(record, "C:\\Till \"A\"\t\x01"));
    const std::string json = FormatOptionsJson(record);
    EXPECT_EQ(json.rfind("{\"loopEnabled\":0,\"delayMs\":500,", 0), 0u) << json;
    EXPECT_NE(json.find("\"captureFolder\":\"C:\\\\Till \\\"A\\\"\\t\\u0001\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"remoteAddress\":\"0.0.0.0\",\"remotePort\":0}\n"), std::string::npos);
}

TEST(OptionsJson, KeepsUtf8AndTurnsOtherHighBytesIntoLatin1Escapes) {
    EXPECT_EQ(JsonEscape("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(JsonEscape("caf\xe9"), "caf\\u00e9");
    EXPECT_EQ(JsonEscape(std::string("\0\x7f\n\r\b\f/", 7)), "\\u0000\\u007f\\n\\r\\b\\f/");
    // A truncated sequence or an encoded surrogate is not UTF-8.
    EXPECT_EQ(JsonEscape("\xc3"), "\\u00c3");
    EXPECT_EQ(JsonEscape("\xed\xa0\x80"), "\\u00ed\\u00a0\\u0080");
}
}  // namespace
