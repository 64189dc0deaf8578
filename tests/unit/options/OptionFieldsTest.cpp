// The option record's fields by name: as `options` prints and sets them, and as the window's
// status rows show them.
#include <gtest/gtest.h>

#include <cstring>

#include "options/OptionFields.h"
#include "options/OptionText.h"

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
    EXPECT_EQ(OptionFields().size(), 16u);
    EXPECT_EQ(OptionFieldText(record, &OptionRecord::remoteAddress), "192.168.0.10");
    EXPECT_EQ(std::get<std::uint32_t>(OptionFieldValueOf(record, *FindOptionField("delayMs"))),
              500u);
    EXPECT_EQ(FindOptionField("remoteaddress"), nullptr);
}

TEST(OptionFields, SetReadsValuesAsTheDialogsDo) {
    OptionRecord record = MakeDefaultOptionRecord();
    std::string error;
    for (const char* assignment :
         {"delayMs=1500ms", "loopEnabled=", "outputInterface=2", "outputComPort=\\\\.\\COM12",
          "inputComPort=COM3", "outputParity=odd", "inputParity=4", "outputStopBits=1.5",
          "inputStopBits=2", "remoteAddress=10.1.2.3", "remotePort=-1", "inputBaudRate=x",
          "outputBaudRate=-1"}) {
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
    EXPECT_EQ(record.outputBaudRate, 0xFFFFFFFFu);
    // "0" is the code of one stop bit, where codes are taken.
    EXPECT_TRUE(SetOptionField(record, "outputStopBits=0", error));
    EXPECT_EQ(record.outputStopBits, 0);
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
    EXPECT_FALSE(SetOptionField(record, "outputParity=5", error));
    EXPECT_FALSE(SetOptionField(record, "outputStopBits=3", error));
    for (const char* bad :
         {"10.1.2", "1.2.3.4.5", "256.0.0.1", "1..2.3", "a.b.c.d", "1.2.3.4 ", "1.2.3.0004"}) {
        EXPECT_FALSE(SetOptionField(record, std::string("remoteAddress=") + bad, error)) << bad;
    }
    EXPECT_FALSE(SetOptionField(record, "captureFolder=" + std::string(256, 'x'), error));
    EXPECT_NE(error.find("255"), std::string::npos);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);

    // The longest folder that fits is taken, and stops short of the reserved bytes.
    EXPECT_TRUE(SetOptionField(record, "captureFolder=" + std::string(255, 'y'), error));
    EXPECT_EQ(CaptureFolderText(record), std::string(255, 'y'));
    EXPECT_EQ(
        std::memcmp(record.serialReserved, before.serialReserved, sizeof record.serialReserved), 0);
}

TEST(OptionText, StrictReadersTakeNamesAndCodesOnly) {
    std::int32_t code = -1;
    EXPECT_TRUE(ParseParityText("space", code));
    EXPECT_EQ(code, 4);
    EXPECT_TRUE(ParseParityText("2", code));
    EXPECT_EQ(code, 2);
    EXPECT_FALSE(ParseParityText("NON", code));
    EXPECT_FALSE(ParseParityText("", code));

    // "1" is the name of code 0; the code 0 itself only where codes are taken.
    EXPECT_TRUE(ParseStopBitsText("1", false, code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(ParseStopBitsText("2", false, code));
    EXPECT_EQ(code, 2);
    code = -1;
    EXPECT_FALSE(ParseStopBitsText("0", false, code));
    EXPECT_EQ(code, -1);
    EXPECT_FALSE(ParseStopBitsText("1.0", true, code));
}
}  // namespace
