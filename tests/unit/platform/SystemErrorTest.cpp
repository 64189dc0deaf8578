// What each of the program's codes makes of this system's error numbers, where one number means
// different things to a file, a socket and a serial port (the cases: SystemErrorCases).
#include <gtest/gtest.h>

#include "SystemErrorCases.h"
#include "platform/SystemError.h"

TEST(SystemErrorTest, EachCodeReadsTheSystemsNumberForWhatItIs) {
    for (const SystemErrorCase& row : SystemErrorCases()) {
        const SystemError error = SystemErrorFromCode(row.number);
        EXPECT_EQ(error.number, row.number);
        EXPECT_EQ(FileErrorOf(error), row.file) << row.number;
        EXPECT_EQ(SocketErrorOf(error), row.socket) << row.number;
        EXPECT_EQ(SerialErrorOf(error), row.serial) << row.number;
        EXPECT_EQ(ShowWindowResultOf(error), row.showWindow) << row.number;
    }
}
