#pragma once
// Opening a serial port for the command line with the message the window shows when a port
// cannot be opened (SerialOpenFailureText), so that a script sees the texts a user knows.
// One thread; failure is reported by the result and the message.
#include <string>

#include "platform/SerialPort.h"

// Opens port `nPort` (named by the COM naming rule) and applies `settings`. False with `message`
// set when it cannot be opened or refuses the settings; the port is then closed.
bool OpenSerialForCli(CSerialPort& port, int nPort, const SerialLineSettings& settings,
                      std::string& message);
