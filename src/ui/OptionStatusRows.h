#pragma once
// The rows of the option status list, made from the option record: the connection row of the
// chosen interface (none for the UDP client), the loop row and the delay row, each with its
// 1-based number. Pure text, so the list and its tests share one source. Any thread; never fails.
#include <QList>
#include <QString>

#include "options/OptionRecord.h"

struct OptionStatusRow {
    QString index;
    QString option;
    QString value;
    QString etc;
};

QList<OptionStatusRow> MakeOptionStatusRows(const OptionRecord& record);

// An IPv4 address held in host byte order as dotted text (0x7F000001 is "127.0.0.1").
QString DottedAddress(quint32 address);
