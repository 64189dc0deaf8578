#include "cli/EscapedText.h"

#include "datafile/PayloadDecoder.h"

namespace {
bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

std::optional<char> SimpleEscape(char c) {
    switch (c) {
        case '\\':
        case '\'':
        case '"':
        case '?':
            return c;
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'e':
            return '\x1b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        default:
            return std::nullopt;
    }
}
}  // namespace

std::optional<std::string> ParseEscapedText(std::string_view text, std::string& error) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i == text.size()) {
            error = "a lone \\ at the end (write \\\\ for a backslash)";
            return std::nullopt;
        }
        const char c = text[i];
        if (const std::optional<char> simple = SimpleEscape(c)) {
            bytes += *simple;
        } else if (c == 'x') {
            int value = 0;
            int digits = 0;
            while (digits < 2 && i + 1 < text.size() && HexDigitValue(text[i + 1]) >= 0) {
                value = value * 16 + HexDigitValue(text[++i]);
                ++digits;
            }
            if (digits == 0) {
                error = "\\x without hex digits (e.g. \\x06)";
                return std::nullopt;
            }
            bytes += static_cast<char>(value);
        } else if (IsOctal(c)) {
            int value = c - '0';
            for (int digits = 1; digits < 3 && i + 1 < text.size() && IsOctal(text[i + 1]);
                 ++digits) {
                value = value * 8 + (text[++i] - '0');
            }
            if (value > 0377) {
                error = "\\" + std::string(text.substr(i - 2, 3)) + " is more than a byte (\\377)";
                return std::nullopt;
            }
            bytes += static_cast<char>(value);
        } else {
            error =
                "\\" + std::string(1, c) + " is not an escape (\\xHH, \\r, \\n, \\t, \\0, \\\\)";
            return std::nullopt;
        }
    }
    return bytes;
}
