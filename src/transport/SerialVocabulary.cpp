#include "transport/SerialVocabulary.h"

#include "transport/CommThread.h"

std::string ComPortName(int nPort) {
    // Ports from 10 up need the device namespace prefix to be opened on Windows; the prefix is
    // part of the name shown, so that the name shown is the name opened.
    return (nPort <= 9 ? "COM" : "\\\\.\\COM") + std::to_string(nPort);
}

int ComPortNumberFromName(std::string_view text) {
    const size_t lastM = text.rfind('M');
    if (lastM != std::string_view::npos) {
        text.remove_prefix(lastM + 1);
    }
    return ParseLikeStrToIntA(text);
}

int ParseLikeStrToIntA(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    // Unsigned arithmetic wraps without undefined behaviour; the result is the low 32 bits.
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10U + static_cast<uint32_t>(c - '0');
    }
    if (negative) {
        value = 0U - value;
    }
    return static_cast<int32_t>(value);
}

std::vector<int> AvailableComPorts(int nConfiguredPort) {
    std::vector<int> ports;
    if (nConfiguredPort < kFirstProbedComPort) {
        ports.push_back(nConfiguredPort);
    }
    for (int port = kFirstProbedComPort; port <= kLastProbedComPort; ++port) {
        if (port == nConfiguredPort || ProbeComPort(ComPortName(port))) {
            ports.push_back(port);
        }
    }
    if (nConfiguredPort > kLastProbedComPort) {
        ports.push_back(nConfiguredPort);
    }
    return ports;
}
