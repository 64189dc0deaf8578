#include "cli/FlagValues.h"

#include <cctype>
#include <string_view>

#include "cli/ArgParser.h"
#include "options/OptionText.h"

namespace {
bool AllDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}
}  // namespace

bool ParseUnsignedFlag(const std::string& text, std::uint64_t nMin, std::uint64_t nMax,
                       std::uint64_t& value) {
    // More than 19 digits cannot be a value any flag accepts, and would overflow below.
    if (!AllDigits(text) || text.size() > 19) {
        return false;
    }
    std::uint64_t number = 0;
    for (const char c : text) {
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (number < nMin || number > nMax) {
        return false;
    }
    value = number;
    return true;
}

bool ParseEndpointFlag(const std::string& text, bool bHostOptional, bool bPortZeroAllowed,
                       std::string& host, std::uint16_t& port, std::string& error) {
    const std::size_t colon = text.rfind(':');
    std::string portText = text;
    if (colon != std::string::npos) {
        if (colon == 0) {
            error = "'" + text + "': the host before ':' is missing";
            return false;
        }
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    } else if (!bHostOptional) {
        error = "'" + text + "' is not HOST:PORT";
        return false;
    }
    std::uint64_t number = 0;
    if (!ParseUnsignedFlag(portText, bPortZeroAllowed ? 0 : 1, 65535, number)) {
        error = "'" + portText + "' is not a port number (" + (bPortZeroAllowed ? "0" : "1") +
                "..65535)";
        return false;
    }
    port = static_cast<std::uint16_t>(number);
    return true;
}

bool ParseComPortFlag(const std::string& text, int& nPort) {
    std::string_view rest = text;
    if (rest.size() > 4 && rest.substr(0, 4) == "\\\\.\\") {
        rest.remove_prefix(4);
    }
    if (rest.size() > 3 && EqualsIgnoringCase(rest.substr(0, 3), "COM")) {
        rest.remove_prefix(3);
    }
    std::uint64_t number = 0;
    if (!ParseUnsignedFlag(std::string(rest), 0, 255, number)) {
        return false;
    }
    nPort = static_cast<int>(number);
    return true;
}

bool ApplyLineSettingFlags(const CParsedArgs& parsed, std::uint32_t& dwBaudRate,
                           std::int32_t& nParity, std::int32_t& nDataBits, std::int32_t& nStopBits,
                           std::string& error) {
    std::uint32_t baud = dwBaudRate;
    std::int32_t parity = nParity;
    std::int32_t dataBits = nDataBits;
    std::int32_t stopBits = nStopBits;
    if (const std::string* value = parsed.Value("baud")) {
        std::uint64_t number = 0;
        if (!ParseUnsignedFlag(*value, 1, 4000000, number)) {
            error = "bad value '" + *value + "' for --baud (1..4000000)";
            return false;
        }
        baud = static_cast<std::uint32_t>(number);
    }
    if (const std::string* value = parsed.Value("parity")) {
        if (!ParseParityText(*value, parity)) {
            error = "bad value '" + *value + "' for --parity (NONE, ODD, EVEN, MARK or SPACE)";
            return false;
        }
    }
    if (const std::string* value = parsed.Value("data-bits")) {
        std::uint64_t number = 0;
        if (!ParseUnsignedFlag(*value, 5, 8, number)) {
            error = "bad value '" + *value + "' for --data-bits (5..8)";
            return false;
        }
        dataBits = static_cast<std::int32_t>(number);
    }
    if (const std::string* value = parsed.Value("stop-bits")) {
        if (!ParseStopBitsText(*value, false, stopBits)) {
            error = "bad value '" + *value + "' for --stop-bits (1, 1.5 or 2)";
            return false;
        }
    }
    dwBaudRate = baud;
    nParity = parity;
    nDataBits = dataBits;
    nStopBits = stopBits;
    return true;
}
