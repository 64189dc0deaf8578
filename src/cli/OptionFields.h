#pragma once
// The fields of the option record by their own names, as the "options" command shows and sets
// them: text form "name=value" one per line, or one JSON object; setting a field from text with
// the option dialogs' rules (numbers read like StrToIntA, parity and stop bits by name or code,
// COM ports by the text after the last "M", a dotted address, a folder of at most 255 bytes).
// Pure functions on a record: any thread; failures are reported by the result and a message.
#include <string>
#include <string_view>
#include <vector>

#include "options/OptionRecord.h"

// Every field name, in the record's order.
const std::vector<std::string>& OptionFieldNames();

// The value of field `name` as text: decimal numbers (codes, not names), the address dotted, the
// folder as stored. Empty for an unknown name.
std::string OptionFieldText(const OptionRecord& record, const std::string& name);

// "name=value" lines, one per field, each ending in LF.
std::string FormatOptionsText(const OptionRecord& record);
// One JSON object on one line (ending in LF): numbers as numbers, captureFolder and
// remoteAddress as strings.
std::string FormatOptionsJson(const OptionRecord& record);

// `text` as the inside of a JSON string: quote, backslash and control characters escaped; text
// that is valid UTF-8 passes unchanged, otherwise each byte above 0x7F becomes \u00XX (read as
// Latin-1) so that the result is always valid JSON.
std::string JsonEscape(std::string_view text);

// Applies "FIELD=VALUE" to `record`. False with `error` set (unknown field, no "=", a value that
// cannot be stored); `record` is then unchanged.
bool SetOptionField(OptionRecord& record, const std::string& assignment, std::string& error);
