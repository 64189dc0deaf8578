#pragma once
// The text a user sees when a serial port cannot be opened, the same in the window's box and on
// the command line, so that a script reads the words a user knows. Any thread; never fails.
#include <cstdint>
#include <string>

// "Serial Port(COM7) is already used by other application." when another program holds the port
// (kSerialErrorAccessDenied), otherwise "Serial Port(COM7) open error(0x00000002)" with `error`,
// the code CSerialPort::Open returned. `portName` is the name shown, e.g. "COM7" or "\\.\COM12".
std::string SerialOpenFailureText(const std::string& portName, std::uint32_t error);
