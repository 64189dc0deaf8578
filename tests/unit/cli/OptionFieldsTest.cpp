// The option record's fields as "options" prints and sets them.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/OptionFields.h"

namespace {
TEST(OptionFields, TextListsEveryFieldInTheRecordsOrder) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.remoteAddress = 0xC0A8000A;
    record.remotePort = 9100;
    record.outputBaudRate = 4000000000u;  // unsigned fields print as unsigned
    record.outputDataBits = -3;           // whatever the store held is shown as it is
    ASSERT_TRUE(SetCaptureFolder(record, "/srv/caps"));
    EXPECT_EQ(FormatOptionsText(record),
              "loopEnabled=0\ndelayMs=500\noutputInterface=0\noutputComPort=1\n"
              "outputBaudRate=4000000000\noutputParity=0\noutputDataBits=-3\noutputStopBits=0\n"
              "inputComPort=2\ninputBaudRate=9600\ninputParity=0\ninputDataBits=8\n"
              "inputStopBits=0\ncaptureFolder=/srv/caps\nremoteAddress=192.168.0.10\n"
              "remotePort=9100\n");
    EXPECT_EQ(OptionFieldNames().size(), 16u);
}

TEST(OptionFields, JsonHasNumbersAsNumbersAndEscapedStrings) {
    OptionRecord record = MakeDefaultOptionRecord();
    ASSERT_TRUE(SetCaptureFolder(record, "C:\\Till \"A\"\t\x01"));
    const std::string json = FormatOptionsJson(record);
    EXPECT_EQ(json.rfind("{\"loopEnabled\":0,\"delayMs\":500,", 0), 0u) << json;
    EXPECT_NE(json.find("\"captureFolder\":\"C:\\\\Till \\\"A\\\"\\t\\u0001\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"remoteAddress\":\"0.0.0.0\",\"remotePort\":0}\n"), std::string::npos);
}

TEST(OptionFields, JsonEscapeKeepsUtf8AndTurnsOtherHighBytesIntoLatin1Escapes) {
    EXPECT_EQ(JsonEscape("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(JsonEscape("caf\xe9"), "caf\\u00e9");
    EXPECT_EQ(JsonEscape(std::string("\0\x7f\n\r\b\f/", 7)), "\\u0000\\u007f\\n\\r\\b\\f/");
    // A truncated sequence or an encoded surrogate is not UTF-8.
    EXPECT_EQ(JsonEscape("\xc3"), "\\u00c3");
    EXPECT_EQ(JsonEscape("\xed\xa0\x80"), "\\u00ed\\u00a0\\u0080");
}

TEST(OptionFields, SetReadsValuesAsTheDialogsDo) {
    OptionRecord record = MakeDefaultOptionRecord();
    std::string error;
    for (const char* assignment :
         {"delayMs=1500ms", "loopEnabled=", "outputInterface=2", "outputComPort=\\\\.\\COM12",
          "inputComPort=COM3", "outputParity=odd", "inputParity=4", "outputStopBits=1.5",
          "inputStopBits=2", "remoteAddress=10.1.2.3", "remotePort=-1", "inputBaudRate=x"}) {
        EXPECT_TRUE(SetOptionField(record, assignment, error)) << assignment << ": " << error;
    }
    EXPECT_EQ(record.delayMs, 1500u);
    EXPECT_EQ(record.loopEnabled, 0);
    EXPECT_EQ(record.outputInterface, 2);
    EXPECT_EQ(record.outputComPort, 12);
    EXPECT_EQ(record.inputComPort, 3);
    EXPECT_EQ(record.outputParity, 1);
    EXPECT_EQ(record.inputParity, 4);
    EXPECT_EQ(record.outputStopBits, 1);
    EXPECT_EQ(record.inputStopBits, 2);
    EXPECT_EQ(record.remoteAddress, 0x0A010203u);
    EXPECT_EQ(record.remotePort, -1);
    EXPECT_EQ(record.inputBaudRate, 0u);
}

TEST(OptionFields, RefusedValuesLeaveTheRecordAndItsReservedBytesAlone) {
    OptionRecord record = MakeDefaultOptionRecord();
    std::memset(record.serialReserved, 0xAB, sizeof record.serialReserved);
    std::memset(record.tailReserved, 0xCD, sizeof record.tailReserved);
    const OptionRecord before = record;
    std::string error;
    EXPECT_FALSE(SetOptionField(record, "speed=5", error));
    EXPECT_EQ(error, "unknown field 'speed'");
    EXPECT_FALSE(SetOptionField(record, "delayMs", error));
    EXPECT_FALSE(SetOptionField(record, "outputParity=EVENS", error));
    EXPECT_FALSE(SetOptionField(record, "outputStopBits=3", error));
    EXPECT_FALSE(SetOptionField(record, "remoteAddress=10.1.2", error));
    EXPECT_FALSE(SetOptionField(record, "captureFolder=" + std::string(256, 'x'), error));
    EXPECT_NE(error.find("255"), std::string::npos);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);

    // The longest folder that fits is taken, and stops short of the reserved bytes.
    EXPECT_TRUE(SetOptionField(record, "captureFolder=" + std::string(255, 'y'), error));
    EXPECT_EQ(OptionFieldText(record, "captureFolder"), std::string(255, 'y'));
    EXPECT_EQ(
        std::memcmp(record.serialReserved, before.serialReserved, sizeof record.serialReserved), 0);
}
}  // namespace
