#include "cli/OptionsJson.h"

#include <nlohmann/json.hpp>
#include <type_traits>
#include <variant>

#include "options/OptionFields.h"

namespace {
using Json = nlohmann::ordered_json;  // the fields stay in the record's order

bool IsValidUtf8(const std::string& text) {
    try {
        (void)Json(text).dump();
        return true;
    } catch (const Json::type_error&) {
        return false;
    }
}

// Each byte as the character of the same number (Latin-1), in UTF-8.
std::string Latin1ToUtf8(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}
}  // namespace

std::string FormatOptionsJson(const OptionRecord& record) {
    Json object = Json::object();
    bool bAllUtf8 = true;
    for (const OptionField& field : OptionFields()) {
        const std::string name(field.name);
        std::visit(
            [&](const auto& value) {
                if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>) {
                    if (IsValidUtf8(value)) {
                        object[name] = value;
                    } else {
                        bAllUtf8 = false;
                        object[name] = Latin1ToUtf8(value);
                    }
                } else {
                    object[name] = value;
                }
            },
            OptionFieldValueOf(record, field));
    }
    // Only a folder that was not UTF-8 is written all in ASCII: there every byte above 0x7F
    // becomes \u00XX; a UTF-8 folder stays as the user wrote it.
    std::string json = object.dump(-1, ' ', !bAllUtf8);
    // DEL is no control character to JSON, but it is one to a terminal: escaped like the others.
    for (std::size_t at = json.find('\x7f'); at != std::string::npos; at = json.find('\x7f', at)) {
        json.replace(at, 1, "\\u007f");
    }
    return json + "\n";
}
