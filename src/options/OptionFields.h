#pragma once
// The option record's fields by their own names, in the record's order: what the command line's
// `options` prints and `options set` changes, and the values the window's status rows show. Each
// field knows its kind and its member of the record, how its value is written as text (numbers
// in decimal, codes rather than names, the address dotted, the folder as stored) and how text is
// read back with the option dialogs' rules (numbers like StrToIntA, parity and stop bits by name
// or code, COM ports by the text after the last "M", a dotted address, a folder of at most 255
// bytes). Pure functions on a record: any thread; failures are reported by the result and a
// message, and leave the record unchanged.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "options/OptionRecord.h"

enum class OptionFieldKind {
    kSigned,    // a number, shown signed
    kUnsigned,  // a number, shown unsigned
    kComPort,   // a port number, set from a port name
    kParity,    // a parity code 0..4
    kStopBits,  // a stop-bit code 0..2
    kFolder,    // the capture folder
    kAddress,   // the remote IPv4 address
};

struct OptionField {
    std::string_view name;
    OptionFieldKind kind;
    // Where the value lives: the signed or the unsigned member; neither for the folder.
    std::int32_t OptionRecord::*pSigned = nullptr;
    std::uint32_t OptionRecord::*pUnsigned = nullptr;
};

// A field's value as it is written out: a number as stored (signed or unsigned), or text (the
// capture folder, the dotted address).
using OptionFieldValue = std::variant<std::int32_t, std::uint32_t, std::string>;

// Every field, in the record's order.
std::span<const OptionField> OptionFields();
// The field called `name`; nullptr for a name the record does not have.
const OptionField* FindOptionField(std::string_view name);

OptionFieldValue OptionFieldValueOf(const OptionRecord& record, const OptionField& field);
std::string OptionFieldText(const OptionRecord& record, const OptionField& field);
// The text of the field held in `member`, e.g. OptionFieldText(record, &OptionRecord::delayMs).
std::string OptionFieldText(const OptionRecord& record, std::int32_t OptionRecord::*member);
std::string OptionFieldText(const OptionRecord& record, std::uint32_t OptionRecord::*member);

// "name=value" lines, one per field, each ending in LF.
std::string FormatOptionsText(const OptionRecord& record);

// Applies "FIELD=VALUE" to `record`. False with `error` set (unknown field, no "=", a value that
// cannot be stored).
bool SetOptionField(OptionRecord& record, std::string_view assignment, std::string& error);
