#pragma once
// The serial words shared by the channel and the option dialogs: parity and stop-bit names
// (their index is the code stored in the option record), the baud rates offered, the COM port
// naming rule, reading a port number back from a shown name, and the list of ports to offer.
// Any thread may call these. They do not fail: unparsable text gives 0.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::array<const char*, 5> kParityNames = {"NONE", "ODD", "EVEN", "MARK", "SPACE"};
inline constexpr std::array<const char*, 3> kStopBitNames = {"1", "1.5", "2"};
inline constexpr std::array<uint32_t, 15> kBaudRates = {110,   300,   600,    1200,   2400,
                                                        4800,  9600,  14400,  19200,  38400,
                                                        56000, 57600, 115200, 128000, 256000};

// Lowest and highest port number that the port list probes.
inline constexpr int kFirstProbedComPort = 0;
inline constexpr int kLastProbedComPort = 31;

// "COM%d" for ports up to 9, "\\.\COM%d" from 10: both the name that is opened and the text shown.
std::string ComPortName(int nPort);

// The number in a shown port name: the text after the last capital M (the whole text when there
// is none), read with ParseLikeStrToIntA. "COM3" gives 3, "\\.\COM12" 12, "" 0.
int ComPortNumberFromName(std::string_view text);

// Reads a number as the dialogs do: an optional "-" and then decimal digits up to the first other
// character; 0 when the text does not start that way (empty, a space, "+", letters).
// More digits than fit wrap around like 32-bit arithmetic ("4294967297" gives 1).
int ParseLikeStrToIntA(std::string_view text);

// The port numbers to offer, ascending: every port from 0 to 31 that ProbeComPort can open now,
// plus `nConfiguredPort` always (even when absent, busy or outside 0..31).
std::vector<int> AvailableComPorts(int nConfiguredPort);
