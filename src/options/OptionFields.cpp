#include "options/OptionFields.h"

#include <type_traits>

#include "options/OptionText.h"
#include "platform/Socket.h"

namespace {
using Kind = OptionFieldKind;

constexpr OptionField kFields[] = {
    {"loopEnabled", Kind::kSigned, &OptionRecord::loopEnabled},
    {"delayMs", Kind::kUnsigned, nullptr, &OptionRecord::delayMs},
    {"outputInterface", Kind::kSigned, &OptionRecord::outputInterface},
    {"outputComPort", Kind::kComPort, &OptionRecord::outputComPort},
    {"outputBaudRate", Kind::kUnsigned, nullptr, &OptionRecord::outputBaudRate},
    {"outputParity", Kind::kParity, &OptionRecord::outputParity},
    {"outputDataBits", Kind::kSigned, &OptionRecord::outputDataBits},
    {"outputStopBits", Kind::kStopBits, &OptionRecord::outputStopBits},
    {"inputComPort", Kind::kComPort, &OptionRecord::inputComPort},
    {"inputBaudRate", Kind::kUnsigned, nullptr, &OptionRecord::inputBaudRate},
    {"inputParity", Kind::kParity, &OptionRecord::inputParity},
    {"inputDataBits", Kind::kSigned, &OptionRecord::inputDataBits},
    {"inputStopBits", Kind::kStopBits, &OptionRecord::inputStopBits},
    {"captureFolder", Kind::kFolder},
    {"remoteAddress", Kind::kAddress, nullptr, &OptionRecord::remoteAddress},
    {"remotePort", Kind::kSigned, &OptionRecord::remotePort},
};

template <class Member>
const OptionField* FindByMember(Member member) {
    for (const OptionField& field : kFields) {
        if constexpr (std::is_same_v<Member, std::int32_t OptionRecord::*>) {
            if (field.pSigned == member) {
                return &field;
            }
        } else if (field.pUnsigned == member) {
            return &field;
        }
    }
    return nullptr;
}

struct ValueText {
    std::string operator()(std::int32_t number) const { return std::to_string(number); }
    std::string operator()(std::uint32_t number) const { return std::to_string(number); }
    std::string operator()(const std::string& text) const { return text; }
};

// The value of a signed field, set from text by the field's own reading rule.
bool ReadSigned(const OptionField& field, std::string_view text, std::int32_t& value,
                std::string& error) {
    const std::string shown(text);
    switch (field.kind) {
        case Kind::kComPort:
            value = ComPortNumberFromName(text);
            return true;
        case Kind::kParity:
            if (!ParseParityText(text, value)) {
                error = "'" + shown + "' is not a parity for " + std::string(field.name) +
                        " (NONE, ODD, EVEN, MARK, SPACE or 0..4)";
                return false;
            }
            return true;
        case Kind::kStopBits:
            if (!ParseStopBitsText(text, true, value)) {
                error = "'" + shown + "' is not a stop-bit setting for " + std::string(field.name) +
                        " (1, 1.5 or 2)";
                return false;
            }
            return true;
        default:
            // As the dialogs read typed numbers: digits up to the first other character, 0 when
            // there are none.
            value = ParseLikeStrToIntA(text);
            return true;
    }
}
}  // namespace

std::span<const OptionField> OptionFields() {
    return kFields;
}

const OptionField* FindOptionField(std::string_view name) {
    for (const OptionField& field : kFields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

OptionFieldValue OptionFieldValueOf(const OptionRecord& record, const OptionField& field) {
    switch (field.kind) {
        case Kind::kFolder:
            return CaptureFolderText(record);
        case Kind::kAddress:
            return FormatIPv4Address(record.*field.pUnsigned);
        case Kind::kUnsigned:
            return record.*field.pUnsigned;
        default:
            return record.*field.pSigned;
    }
}

std::string OptionFieldText(const OptionRecord& record, const OptionField& field) {
    return std::visit(ValueText{}, OptionFieldValueOf(record, field));
}

std::string OptionFieldText(const OptionRecord& record, std::int32_t OptionRecord::*member) {
    const OptionField* field = FindByMember(member);
    return field != nullptr ? OptionFieldText(record, *field) : std::string();
}

std::string OptionFieldText(const OptionRecord& record, std::uint32_t OptionRecord::*member) {
    const OptionField* field = FindByMember(member);
    return field != nullptr ? OptionFieldText(record, *field) : std::string();
}

std::string FormatOptionsText(const OptionRecord& record) {
    std::string text;
    for (const OptionField& field : kFields) {
        text += field.name;
        text += '=';
        text += OptionFieldText(record, field);
        text += '\n';
    }
    return text;
}

bool SetOptionField(OptionRecord& record, std::string_view assignment, std::string& error) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) {
        // Appended rather than "'" + std::string(...): GCC 12 at -O3 warns wrongly about that
        // form (-Wrestrict), and warnings are errors.
        error = std::string("'").append(assignment).append("' is not FIELD=VALUE");
        return false;
    }
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view text = assignment.substr(equals + 1);
    const OptionField* field = FindOptionField(name);
    if (field == nullptr) {
        error = "unknown field '" + std::string(name) + "'";
        return false;
    }
    switch (field->kind) {
        case Kind::kFolder:
            if (const std::string folder(text); !SetCaptureFolder(record, folder.c_str())) {
                error = "captureFolder holds at most " + std::to_string(kCaptureFolderSize - 1) +
                        " bytes; '" + folder + "' has " + std::to_string(folder.size());
                return false;
            }
            return true;
        case Kind::kAddress:
            if (!ParseDottedIPv4(text, record.*field->pUnsigned)) {
                error = std::string("'").append(text).append(
                    "' is not a dotted IPv4 address for remoteAddress");
                return false;
            }
            return true;
        case Kind::kUnsigned:
            // Read like a signed number and stored bit for bit, as the dialogs store it.
            record.*field->pUnsigned = static_cast<std::uint32_t>(ParseLikeStrToIntA(text));
            return true;
        default: {
            std::int32_t value = 0;
            if (!ReadSigned(*field, text, value, error)) {
                return false;
            }
            record.*field->pSigned = value;
            return true;
        }
    }
}
