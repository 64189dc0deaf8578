// How COM names find their devices on Windows: the device namespace name of the port, for every
// number (the short name alone opens only ports 1 to 9).
#include <gtest/gtest.h>

#include "platform/SerialPort.h"

TEST(SerialNamesTest, ComNamesBecomeDeviceNames) {
    EXPECT_EQ(SerialDevicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(SerialDevicePath("COM5"), "\\\\.\\COM5");
    EXPECT_EQ(SerialDevicePath("\\\\.\\COM15"), "\\\\.\\COM15");
    EXPECT_EQ(SerialDevicePath("com3"), "\\\\.\\COM3");
    EXPECT_EQ(SerialDevicePath("COM0"), "\\\\.\\COM0");
    EXPECT_EQ(SerialDevicePath("LPT1"), "LPT1");
    EXPECT_EQ(SerialDevicePath("COMX"), "COMX");
}
