#pragma once
// The option record as `options --json` prints it: one JSON object on one line, the fields of
// options/OptionFields.h in the record's order, numbers as numbers, captureFolder and
// remoteAddress as strings. Control characters (DEL too) are escaped; a folder that is not valid
// UTF-8 is read as Latin-1, each byte above 0x7F written as \u00XX, so the output is always valid
// JSON. Pure function: any thread; never fails.
#include <string>

#include "options/OptionRecord.h"

// One JSON object on one line, ending in LF.
std::string FormatOptionsJson(const OptionRecord& record);
