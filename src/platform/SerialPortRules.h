#pragma once
// What every serial back end decides the same way: which names are COM ports, and which line
// framings a port takes. Pure functions; any thread.
#include <string_view>

#include "platform/SerialPort.h"

// "COM5", "\\.\COM15" (any case) to 5 and 15; -1 for any other name.
int ComNumberOf(std::string_view name);

// False for the framings a Windows serial driver refuses, so that a setting behaves alike on
// every port and both systems: data bits outside 5 to 8, an unknown parity or stop-bit code, one
// and a half stop bits with other than 5 data bits, two stop bits with 5.
bool IsAcceptedFraming(const SerialLineSettings& settings);
