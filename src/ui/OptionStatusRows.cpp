#include "ui/OptionStatusRows.h"

#include "options/OptionFields.h"

namespace {
// A field's value as the option record's field table writes it.
std::string FieldText(const OptionRecord& record, auto member) {
    return OptionFieldText(record, member);
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
            "COM" + FieldText(record, &OptionRecord::outputComPort) +
                " (BaudRate: " + FieldText(record, &OptionRecord::outputBaudRate) +
                ", DataBits: " + FieldText(record, &OptionRecord::outputDataBits) +
                ", Parity: " + FieldText(record, &OptionRecord::outputParity) +
                ", StopBits: " + FieldText(record, &OptionRecord::outputStopBits),
            "RS232");
    } else if (record.outputInterface == kInterfaceTcpClient) {
        add("Connection Information",
            "IP: " + FieldText(record, &OptionRecord::remoteAddress) +
                ", Port: " + FieldText(record, &OptionRecord::remotePort),
            "TCP Client");
    }
    add("Loop Option", record.loopEnabled != 0 ? "ON" : "OFF", "");
    add("Delay Time", FieldText(record, &OptionRecord::delayMs) + " msec", "");
    return rows;
}
