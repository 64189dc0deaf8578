#pragma once
// The serial words shared by the channel and the option dialogs: the names and port numbers of
// options/OptionText.h, the baud rates offered, and the list of ports to offer.
// Any thread may call these. They do not fail.
#include <array>
#include <cstdint>
#include <vector>

#include "options/OptionText.h"

inline constexpr std::array<uint32_t, 15> kBaudRates = {110,   300,   600,    1200,   2400,
                                                        4800,  9600,  14400,  19200,  38400,
                                                        56000, 57600, 115200, 128000, 256000};

// Lowest and highest port number that the port list probes.
inline constexpr int kFirstProbedComPort = 0;
inline constexpr int kLastProbedComPort = 31;

// The port numbers to offer, ascending: every port from 0 to 31 that ProbeComPort can open now,
// plus `nConfiguredPort` always (even when absent, busy or outside 0..31).
std::vector<int> AvailableComPorts(int nConfiguredPort);
