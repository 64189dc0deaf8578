#pragma once
// The rows of the option status list, made from the option record: the connection row of the
// chosen interface (none for the UDP client), the loop row and the delay row, each with its
// 1-based number. Each value is written as the option record's field table writes it. Pure
// text. Any thread; never fails.
#include <string>
#include <vector>

#include "options/OptionRecord.h"

struct OptionStatusRow {
    std::string index;
    std::string option;
    std::string value;
    std::string etc;
};

std::vector<OptionStatusRow> MakeOptionStatusRows(const OptionRecord& record);
