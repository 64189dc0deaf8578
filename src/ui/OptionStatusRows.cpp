#include "ui/OptionStatusRows.h"

#include <cstdio>

#include "platform/Socket.h"

namespace {
template <class... Args>
std::string Format(const char* format, Args... args) {
    char text[160];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}
}  // namespace

std::vector<OptionStatusRow> MakeOptionStatusRows(const OptionRecord& record) {
    std::vector<OptionStatusRow> rows;
    auto add = [&rows](std::string option, std::string value, std::string etc) {
        rows.push_back(OptionStatusRow{std::to_string(rows.size() + 1), std::move(option),
                                       std::move(value), std::move(etc)});
    };
    if (record.outputInterface == kInterfaceRs232) {
        // The text ends without a closing parenthesis: that is how users have always seen it.
        add("Port Information",
            Format("COM%d (BaudRate: %u, DataBits: %d, Parity: %d, StopBits: %d",
                   record.outputComPort, record.outputBaudRate, record.outputDataBits,
                   record.outputParity, record.outputStopBits),
            "RS232");
    } else if (record.outputInterface == kInterfaceTcpClient) {
        add("Connection Information",
            "IP: " + FormatIPv4Address(record.remoteAddress) +
                ", Port: " + std::to_string(record.remotePort),
            "TCP Client");
    }
    add("Loop Option", record.loopEnabled != 0 ? "ON" : "OFF", "");
    add("Delay Time", Format("%u msec", record.delayMs), "");
    return rows;
}
