#include "cli/OptionsJson.h"

#include <cstdint>
#include <cstdio>
#include <variant>

#include "options/OptionFields.h"

namespace {
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

std::string FormatOptionsJson(const OptionRecord& record) {
    std::string json = "{";
    for (const OptionField& field : OptionFields()) {
        if (json.size() > 1) {
            json += ",";
        }
        // Appended piece by piece: "literal" + temporary string trips a false -Wrestrict in
        // GCC 12 at -O3, which fails the Release build.
        json += '"';
        json += field.name;
        json += "\":";
        const OptionFieldValue value = OptionFieldValueOf(record, field);
        if (const auto* text = std::get_if<std::string>(&value)) {
            json += '"';
            json += JsonEscape(*text);
            json += '"';
        } else {
            json += OptionFieldText(record, field);
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
