#pragma once
// The option record as `options --json` prints it: one JSON object on one line, the fields of
// options/OptionFields.h in the record's order, numbers as numbers, captureFolder and
// remoteAddress as strings. Pure functions: any thread; they never fail.
#include <string>
#include <string_view>

#include "options/OptionRecord.h"

// One JSON object on one line, ending in LF.
std::string FormatOptionsJson(const OptionRecord& record);

// `text` as the inside of a JSON string: quote, backslash and control characters escaped; text
// that is valid UTF-8 passes unchanged, otherwise each byte above 0x7F becomes \u00XX (read as
// Latin-1) so that the result is always valid JSON.
std::string JsonEscape(std::string_view text);
