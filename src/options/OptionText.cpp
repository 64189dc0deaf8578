#include "options/OptionText.h"

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return false;
        }
    }
    return true;
}

// One to three decimal digits and nothing else, at most `nMax`.
bool ParseSmallNumber(std::string_view text, int nMax, int& value) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    int number = 0;
    for (const char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        number = number * 10 + (c - '0');
    }
    if (number > nMax) {
        return false;
    }
    value = number;
    return true;
}
}  // namespace

std::string ComPortName(int nPort) {
    // Ports from 10 up need the device namespace prefix to be opened on Windows; the prefix is
    // part of the name shown, so that the name shown is the name opened.
    return (nPort <= 9 ? "COM" : "\\\\.\\COM") + std::to_string(nPort);
}

int ComPortNumberFromName(std::string_view text) {
    const size_t lastM = text.rfind('M');
    if (lastM != std::string_view::npos) {
        text.remove_prefix(lastM + 1);
    }
    return ParseLikeStrToIntA(text);
}

int ParseLikeStrToIntA(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    // Unsigned arithmetic wraps without undefined behaviour; the result is the low 32 bits.
    uint32_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) {
            break;
        }
        value = value * 10U + static_cast<uint32_t>(c - '0');
    }
    if (negative) {
        value = 0U - value;
    }
    return static_cast<int32_t>(value);
}

bool ParseParityText(std::string_view text, std::int32_t& nCode) {
    for (std::size_t i = 0; i < kParityNames.size(); ++i) {
        if (EqualsIgnoringCase(text, kParityNames[i])) {
            nCode = static_cast<std::int32_t>(i);
            return true;
        }
    }
    int number = 0;
    if (ParseSmallNumber(text, static_cast<int>(kParityNames.size()) - 1, number)) {
        nCode = number;
        return true;
    }
    return false;
}

bool ParseStopBitsText(std::string_view text, bool bCodesAllowed, std::int32_t& nCode) {
    for (std::size_t i = 0; i < kStopBitNames.size(); ++i) {
        if (text == kStopBitNames[i]) {
            nCode = static_cast<std::int32_t>(i);
            return true;
        }
    }
    if (bCodesAllowed && text == "0") {
        nCode = 0;
        return true;
    }
    return false;
}

bool ParseDottedIPv4(std::string_view text, std::uint32_t& dwAddr) {
    std::uint32_t result = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.');
        const bool bLast = part == 3;
        if (bLast != (dot == std::string_view::npos)) {
            return false;
        }
        int number = 0;
        if (!ParseSmallNumber(text.substr(0, dot), 255, number)) {
            return false;
        }
        result = (result << 8) | static_cast<std::uint32_t>(number);
        text.remove_prefix(bLast ? text.size() : dot + 1);
    }
    dwAddr = result;
    return true;
}
