// The serial words the dialogs and the channel share.
#include <gtest/gtest.h>

#include <algorithm>

#include "PtyPair.h"
#include "TempHome.h"
#include "transport/CommThread.h"
#include "transport/SerialVocabulary.h"

TEST(SerialVocabulary, NamesAndRatesAreTheOnesOffered) {
    EXPECT_STREQ(kParityNames[0], "NONE");
    EXPECT_STREQ(kParityNames[3], "MARK");
    EXPECT_STREQ(kParityNames[4], "SPACE");
    EXPECT_STREQ(kStopBitNames[1], "1.5");
    EXPECT_STREQ(kStopBitNames[2], "2");
    EXPECT_EQ(kBaudRates.front(), 110U);
    EXPECT_EQ(kBaudRates[7], 14400U);
    EXPECT_EQ(kBaudRates.back(), 256000U);
    EXPECT_TRUE(std::is_sorted(kBaudRates.begin(), kBaudRates.end()));
}

TEST(SerialVocabulary, PortNamesSwitchToTheDevicePrefixFromTen) {
    EXPECT_EQ(ComPortName(0), "COM0");
    EXPECT_EQ(ComPortName(9), "COM9");
    EXPECT_EQ(ComPortName(10), "\\\\.\\COM10");
    EXPECT_EQ(ComPortName(31), "\\\\.\\COM31");
    for (int port = 0; port <= 31; ++port) {
        EXPECT_EQ(ComPortNumberFromName(ComPortName(port)), port);
    }
}

TEST(SerialVocabulary, NumberIsReadAfterTheLastCapitalM) {
    EXPECT_EQ(ComPortNumberFromName("COM3"), 3);
    EXPECT_EQ(ComPortNumberFromName("\\\\.\\COM12"), 12);
    EXPECT_EQ(ComPortNumberFromName("5"), 5);
    EXPECT_EQ(ComPortNumberFromName(""), 0);
    EXPECT_EQ(ComPortNumberFromName("COM"), 0);
    EXPECT_EQ(ComPortNumberFromName("COM-4"), -4);
    EXPECT_EQ(ComPortNumberFromName("MM7x"), 7);
    EXPECT_EQ(ComPortNumberFromName("com8"), 0);  // only a capital M counts
}

TEST(SerialVocabulary, ParsesNumbersLikeTheDialogsDo) {
    EXPECT_EQ(ParseLikeStrToIntA("9600"), 9600);
    EXPECT_EQ(ParseLikeStrToIntA("115200 baud"), 115200);
    EXPECT_EQ(ParseLikeStrToIntA("-12"), -12);
    EXPECT_EQ(ParseLikeStrToIntA("0"), 0);
    EXPECT_EQ(ParseLikeStrToIntA(""), 0);
    EXPECT_EQ(ParseLikeStrToIntA("-"), 0);
    EXPECT_EQ(ParseLikeStrToIntA(" 5"), 0);
    EXPECT_EQ(ParseLikeStrToIntA("+5"), 0);
    EXPECT_EQ(ParseLikeStrToIntA("--5"), 0);
    EXPECT_EQ(ParseLikeStrToIntA("abc"), 0);
    EXPECT_EQ(ParseLikeStrToIntA("2147483647"), 2147483647);
    // Past 32 bits the value wraps around.
    EXPECT_EQ(ParseLikeStrToIntA("2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseLikeStrToIntA("4294967297"), 1);
    EXPECT_EQ(ParseLikeStrToIntA("-4294967295"), 1);
}

class ComPortListTest : public TempHomeTest {};

TEST_F(ComPortListTest, OffersOpenablePortsAndAlwaysTheConfiguredOne) {
    PtyPair free;
    PtyPair busy;
    free.LinkAsComPort(3);
    busy.LinkAsComPort(5);
    PtyPair::MakeComPortAbsent(4);
    PtyPair::MakeComPortAbsent(0);
    // Under Wine no opener can keep a port from the others: port 5 is then free like port 3.
    const bool bBusyHeld = busy.HoldAsAnotherProgram();
    EXPECT_EQ(bBusyHeld, PtyPair::OpensAreExclusive());

    for (const int configured : {-1, 0, 4, 5, 12, 40}) {
        SCOPED_TRACE(configured);
        const std::vector<int> ports = AvailableComPorts(configured);
        EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
        EXPECT_EQ(std::adjacent_find(ports.begin(), ports.end()), ports.end());
        EXPECT_EQ(std::count(ports.begin(), ports.end(), configured), 1);
        EXPECT_EQ(std::count(ports.begin(), ports.end(), 3), 1);
        if (configured != 4) {
            EXPECT_EQ(std::count(ports.begin(), ports.end(), 4), 0);
        }
        if (configured != 5 && bBusyHeld) {
            EXPECT_EQ(std::count(ports.begin(), ports.end(), 5), 0);  // held by another
        }
        if (configured != 0) {
            EXPECT_EQ(std::count(ports.begin(), ports.end(), 0), 0);
        }
        for (const int port : ports) {
            EXPECT_TRUE(port == configured || ProbeComPort(ComPortName(port))) << port;
        }
    }
    busy.ReleaseHold();
    // Probing left the free port free.
    EXPECT_TRUE(ProbeComPort("COM3"));
}
