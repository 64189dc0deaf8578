// The serial port's error codes for what only Linux devices show: the system's number kept
// beside the program's own codes, and a pulled adapter that lingers.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "HangupPty.h"
#include "TempHome.h"
#include "platform/SerialPort.h"

namespace {

using SerialErrorsPosixTest = TempHomeTest;

TEST_F(SerialErrorsPosixTest, SystemErrorsKeepTheirOwnNumber) {
    CSerialPort port;
    EXPECT_EQ(port.Configure({}), kSerialErrorSystem | static_cast<uint32_t>(EBADF));

    // A USB adapter pulled while a program held it: the device lingers and fails with EIO, whose
    // number is the access-denied code's; it must stay an error of its own.
    HangupPty pulled;
    const std::string again = pulled.HoldSlaveOpen();
    pulled.Hangup();
    EXPECT_EQ(port.Open(again), kSerialErrorSystem | static_cast<uint32_t>(EIO));
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
