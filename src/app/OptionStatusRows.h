#pragma once
// The rows of the option status list, made from the option record: the connection row of the
// chosen interface (none for the UDP client), the loop row and the delay row, each with its
// 1-based number. Each value is written as the option record's field table writes it. Pure text,
// so the list and its tests share one source. Any thread; never fails.
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
