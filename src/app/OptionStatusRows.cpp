#include "app/OptionStatusRows.h"

#include "options/OptionFields.h"

namespace {
// A field's value as the option record's field table writes it.
QString FieldText(const OptionRecord& record, auto member) {
    return QString::fromStdString(OptionFieldText(record, member));
}
}  // namespace

QList<OptionStatusRow> MakeOptionStatusRows(const OptionRecord& record) {
    QList<OptionStatusRow> rows;
    auto add = [&rows](const QString& option, const QString& value, const QString& etc) {
        rows.append(OptionStatusRow{QString::number(rows.size() + 1), option, value, etc});
    };
    if (record.outputInterface == kInterfaceRs232) {
        // The text ends without a closing parenthesis: that is how users have always seen it.
        add(QStringLiteral("Port Information"),
            QStringLiteral("COM%1 (BaudRate: %2, DataBits: %3, Parity: %4, StopBits: %5")
                .arg(FieldText(record, &OptionRecord::outputComPort),
                     FieldText(record, &OptionRecord::outputBaudRate),
                     FieldText(record, &OptionRecord::outputDataBits),
                     FieldText(record, &OptionRecord::outputParity),
                     FieldText(record, &OptionRecord::outputStopBits)),
            QStringLiteral("RS232"));
    } else if (record.outputInterface == kInterfaceTcpClient) {
        add(QStringLiteral("Connection Information"),
            QStringLiteral("IP: %1, Port: %2")
                .arg(FieldText(record, &OptionRecord::remoteAddress),
                     FieldText(record, &OptionRecord::remotePort)),
            QStringLiteral("TCP Client"));
    }
    add(QStringLiteral("Loop Option"),
        record.loopEnabled != 0 ? QStringLiteral("ON") : QStringLiteral("OFF"), QString());
    add(QStringLiteral("Delay Time"),
        FieldText(record, &OptionRecord::delayMs) + QStringLiteral(" msec"), QString());
    return rows;
}
