#include "cli/OptionFields.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cli/FlagValues.h"
#include "platform/Socket.h"
#include "transport/SerialVocabulary.h"

namespace {
enum class FieldKind { kSigned, kUnsigned, kComPort, kParity, kStopBits, kFolder, kAddress };

struct FieldInfo {
    const char* name;
    FieldKind kind;
    std::size_t offset;
};

const FieldInfo kFields[] = {
    {"loopEnabled", FieldKind::kSigned, offsetof(OptionRecord, loopEnabled)},
    {"delayMs", FieldKind::kUnsigned, offsetof(OptionRecord, delayMs)},
    {"outputInterface", FieldKind::kSigned, offsetof(OptionRecord, outputInterface)},
    {"outputComPort", FieldKind::kComPort, offsetof(OptionRecord, outputComPort)},
    {"outputBaudRate", FieldKind::kUnsigned, offsetof(OptionRecord, outputBaudRate)},
    {"outputParity", FieldKind::kParity, offsetof(OptionRecord, outputParity)},
    {"outputDataBits", FieldKind::kSigned, offsetof(OptionRecord, outputDataBits)},
    {"outputStopBits", FieldKind::kStopBits, offsetof(OptionRecord, outputStopBits)},
    {"inputComPort", FieldKind::kComPort, offsetof(OptionRecord, inputComPort)},
    {"inputBaudRate", FieldKind::kUnsigned, offsetof(OptionRecord, inputBaudRate)},
    {"inputParity", FieldKind::kParity, offsetof(OptionRecord, inputParity)},
    {"inputDataBits", FieldKind::kSigned, offsetof(OptionRecord, inputDataBits)},
    {"inputStopBits", FieldKind::kStopBits, offsetof(OptionRecord, inputStopBits)},
    {"captureFolder", FieldKind::kFolder, offsetof(OptionRecord, captureFolder)},
    {"remoteAddress", FieldKind::kAddress, offsetof(OptionRecord, remoteAddress)},
    {"remotePort", FieldKind::kSigned, offsetof(OptionRecord, remotePort)},
};

const FieldInfo* FindField(const std::string& name) {
    for (const FieldInfo& field : kFields) {
        if (name == field.name) {
            return &field;
        }
    }
    return nullptr;
}

// Every field but the folder is a 32-bit word; reading and writing it through memcpy keeps the
// record plain bytes.
std::uint32_t Word(const OptionRecord& record, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof value);
    return value;
}

void SetWord(OptionRecord& record, std::size_t offset, std::uint32_t value) {
    std::memcpy(reinterpret_cast<unsigned char*>(&record) + offset, &value, sizeof value);
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t minimum = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            minimum = 0x80;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            minimum = 0x800;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            minimum = 0x10000;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}
}  // namespace

const std::vector<std::string>& OptionFieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> result;
        for (const FieldInfo& field : kFields) {
            result.emplace_back(field.name);
        }
        return result;
    }();
    return names;
}

std::string OptionFieldText(const OptionRecord& record, const std::string& name) {
    const FieldInfo* field = FindField(name);
    if (field == nullptr) {
        return {};
    }
    const std::uint32_t word = Word(record, field->offset);
    switch (field->kind) {
        case FieldKind::kFolder:
            return CaptureFolderText(record);
        case FieldKind::kAddress:
            return FormatIPv4Address(word);
        case FieldKind::kUnsigned:
            return std::to_string(word);
        default:
            return std::to_string(static_cast<std::int32_t>(word));
    }
}

std::string FormatOptionsText(const OptionRecord& record) {
    std::string text;
    for (const FieldInfo& field : kFields) {
        text += std::string(field.name) + "=" + OptionFieldText(record, field.name) + "\n";
    }
    return text;
}

std::string FormatOptionsJson(const OptionRecord& record) {
    std::string json = "{";
    bool bFirst = true;
    for (const FieldInfo& field : kFields) {
        if (!bFirst) {
            json += ",";
        }
        bFirst = false;
        // Appended piece by piece: "literal" + temporary string trips a false -Wrestrict in
        // GCC 12 at -O3, which fails the Release build.
        json += '"';
        json += field.name;
        json += "\":";
        const std::string value = OptionFieldText(record, field.name);
        if (field.kind == FieldKind::kFolder || field.kind == FieldKind::kAddress) {
            json += '"';
            json += JsonEscape(value);
            json += '"';
        } else {
            json += value;
        }
    }
    return json + "}\n";
}

std::string JsonEscape(std::string_view text) {
    const bool bUtf8 = IsValidUtf8(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            case '\b':
                out += "\\b";
                continue;
            case '\f':
                out += "\\f";
                continue;
            default:
                break;
        }
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !bUtf8)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

bool SetOptionField(OptionRecord& record, const std::string& assignment, std::string& error) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        error = "'" + assignment + "' is not FIELD=VALUE";
        return false;
    }
    const std::string name = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    const FieldInfo* field = FindField(name);
    if (field == nullptr) {
        error = "unknown field '" + name + "'";
        return false;
    }
    switch (field->kind) {
        case FieldKind::kSigned:
        case FieldKind::kUnsigned:
            // As the dialogs read typed numbers: digits up to the first other character, 0 when
            // there are none; the bits are stored as they come.
            SetWord(record, field->offset, static_cast<std::uint32_t>(ParseLikeStrToIntA(value)));
            return true;
        case FieldKind::kComPort:
            SetWord(record, field->offset,
                    static_cast<std::uint32_t>(ComPortNumberFromName(value)));
            return true;
        case FieldKind::kParity: {
            std::int32_t code = 0;
            if (!ParseParityValue(value, code)) {
                error = "'" + value + "' is not a parity for " + name +
                        " (NONE, ODD, EVEN, MARK, SPACE or 0..4)";
                return false;
            }
            SetWord(record, field->offset, static_cast<std::uint32_t>(code));
            return true;
        }
        case FieldKind::kStopBits: {
            std::int32_t code = 0;
            if (!ParseStopBitsValue(value, true, code)) {
                error = "'" + value + "' is not a stop-bit setting for " + name + " (1, 1.5 or 2)";
                return false;
            }
            SetWord(record, field->offset, static_cast<std::uint32_t>(code));
            return true;
        }
        case FieldKind::kFolder:
            if (!SetCaptureFolder(record, value.c_str())) {
                error = "captureFolder holds at most " + std::to_string(kCaptureFolderSize - 1) +
                        " bytes; '" + value + "' has " + std::to_string(value.size());
                return false;
            }
            return true;
        case FieldKind::kAddress: {
            std::uint32_t address = 0;
            if (!ParseDottedAddress(value, address)) {
                error = "'" + value + "' is not a dotted IPv4 address for remoteAddress";
                return false;
            }
            SetWord(record, field->offset, address);
            return true;
        }
    }
    return false;
}
