// How COM names find their devices on Linux: links in the settings folder, else the system's
// serial lines.
#include <gtest/gtest.h>

#include <filesystem>

#include "PtyPair.h"
#include "TempHome.h"
#include "platform/SerialPort.h"
#include "platform/UserFolders.h"

class SerialNamesTest : public TempHomeTest {};

TEST_F(SerialNamesTest, ComNamesResolveToLinksOrSystemLines) {
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath("COM5"), "/dev/ttyS4");
    EXPECT_EQ(SerialDevicePath("\\\\.\\COM15"), "/dev/ttyS14");
    EXPECT_EQ(SerialDevicePath("com3"), "/dev/ttyS2");
    EXPECT_EQ(SerialDevicePath("COM0"), "");
    EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDevicePath("COMX"), "COMX");

    PtyPair pty;
    pty.LinkAsComPort(15);
    pty.LinkAsComPort(0);
    const std::string folder = ProgramSettingsFolder() + "/ports/";
    EXPECT_EQ(SerialDevicePath("\\\\.\\COM15"), folder + "COM15");
    EXPECT_EQ(SerialDevicePath("COM15"), folder + "COM15");
    EXPECT_EQ(SerialDevicePath("COM0"), folder + "COM0");
    std::filesystem::create_symlink(home.Path("gone"), folder + "COM2");
    EXPECT_EQ(SerialDevicePath("COM2"), folder + "COM2");
}
