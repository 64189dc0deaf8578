#include "ui/OptionStatusRows.h"

QString DottedAddress(quint32 address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg((address >> 24) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

QList<OptionStatusRow> MakeOptionStatusRows(const OptionRecord& record) {
    QList<OptionStatusRow> rows;
    auto add = [&rows](const QString& option, const QString& value, const QString& etc) {
        rows.append(OptionStatusRow{QString::number(rows.size() + 1), option, value, etc});
    };
    if (record.outputInterface == kInterfaceRs232) {
        // The text ends without a closing parenthesis: that is how users have always seen it.
        add(QStringLiteral("Port Information"),
            QString::asprintf("COM%d (BaudRate: %u, DataBits: %d, Parity: %d, StopBits: %d",
                              record.outputComPort, record.outputBaudRate, record.outputDataBits,
                              record.outputParity, record.outputStopBits),
            QStringLiteral("RS232"));
    } else if (record.outputInterface == kInterfaceTcpClient) {
        add(QStringLiteral("Connection Information"),
            QStringLiteral("IP: %1, Port: %2")
                .arg(DottedAddress(record.remoteAddress))
                .arg(record.remotePort),
            QStringLiteral("TCP Client"));
    }
    add(QStringLiteral("Loop Option"),
        record.loopEnabled != 0 ? QStringLiteral("ON") : QStringLiteral("OFF"), QString());
    add(QStringLiteral("Delay Time"), QString::asprintf("%u msec", record.delayMs), QString());
    return rows;
}
