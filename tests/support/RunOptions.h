#pragma once
// Option records for a run to a device on this machine: over TCP to a receiver on a loopback
// port, or out of a COM port that the test has linked to a pseudo-terminal. Every other option
// keeps its default. Test use only.
#include <cstdint>

#include "LoopbackServer.h"
#include "options/OptionRecord.h"

inline OptionRecord TcpOptions(std::uint16_t port, std::uint32_t delayMs = 0, bool bLoop = false) {
    OptionRecord options = MakeDefaultOptionRecord();
    options.outputInterface = kInterfaceTcpClient;
    options.remoteAddress = kLoopbackAddress;
    options.remotePort = port;
    options.delayMs = delayMs;
    options.loopEnabled = bLoop ? 1 : 0;
    return options;
}

inline OptionRecord SerialOptions(int comPort, std::uint32_t delayMs = 0, bool bLoop = false) {
    OptionRecord options = MakeDefaultOptionRecord();
    options.outputInterface = kInterfaceRs232;
    options.outputComPort = comPort;
    options.delayMs = delayMs;
    options.loopEnabled = bLoop ? 1 : 0;
    return options;
}
