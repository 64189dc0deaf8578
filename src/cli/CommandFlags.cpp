#include "cli/CommandFlags.h"

#include <algorithm>

#include "options/OptionText.h"
#include "platform/SerialPortRules.h"

namespace {
bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

CLI::Validator WholeNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (!AllDigits(text)) {
                return "'" + text + "' is not a whole number";
            }
            // The library reads a leading zero as octal: 010 would be 8.
            text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
            return {};
        },
        "", "WholeNumber");
}

CLI::Option* AddEndpointFlag(CLI::App& app, const std::string& name, std::optional<Endpoint>& value,
                             bool bHostOptional, bool bPortZeroAllowed, const std::string& shape,
                             const std::string& description) {
    auto read = [&value, name, bHostOptional, bPortZeroAllowed](const std::string& text) {
        Endpoint endpoint;
        const std::size_t colon = text.rfind(':');
        std::string portText = text;
        if (colon != std::string::npos) {
            if (colon == 0) {
                throw CLI::ValidationError(name, "'" + text + "': the host before ':' is missing");
            }
            endpoint.host = text.substr(0, colon);
            portText = text.substr(colon + 1);
        } else if (!bHostOptional) {
            throw CLI::ValidationError(name, "'" + text + "' is not HOST:PORT");
        }
        const unsigned long nMin = bPortZeroAllowed ? 0 : 1;
        if (!AllDigits(portText) || portText.size() > 5 || std::stoul(portText) < nMin ||
            std::stoul(portText) > 65535) {
            throw CLI::ValidationError(name, "'" + portText + "' is not a port number (" +
                                                 std::to_string(nMin) + "..65535)");
        }
        endpoint.port = static_cast<std::uint16_t>(std::stoul(portText));
        value = endpoint;
    };
    return app.add_option_function<std::string>(name, read, description)->option_text(shape);
}

CLI::Option* AddComPortFlag(CLI::App& app, const std::string& name, std::optional<int>& value,
                            const std::string& description) {
    const CLI::Validator portNumber(
        [](std::string& text) -> std::string {
            // A bare number is the port's number; otherwise the port names of the system.
            const int number =
                AllDigits(text) && text.size() <= 3 ? std::stoi(text) : ComNumberOf(text);
            if (number < 0 || number > 255) {
                return "'" + text + "' is not a COM port (COMn, n 0..255)";
            }
            text = std::to_string(number);
            return {};
        },
        "", "ComPort");
    return app.add_option(name, value, description)->option_text("COMn")->transform(portNumber);
}

void LineSettingFlags::ApplyTo(std::uint32_t& dwBaudRate, std::int32_t& nParity,
                               std::int32_t& nDataBits, std::int32_t& nStopBits) const {
    dwBaudRate = baud.value_or(dwBaudRate);
    nParity = parity.value_or(nParity);
    nDataBits = dataBits.value_or(nDataBits);
    nStopBits = stopBits.value_or(nStopBits);
}

void AddLineSettingFlags(CLI::App& app, LineSettingFlags& flags) {
    // Parity and stop bits go to the parser as their codes.
    const CLI::Validator parity(
        [](std::string& text) -> std::string {
            std::int32_t code = 0;
            if (!ParseParityText(text, code)) {
                return "'" + text + "' is not NONE, ODD, EVEN, MARK or SPACE";
            }
            text = std::to_string(code);
            return {};
        },
        "", "Parity");
    const CLI::Validator stopBits(
        [](std::string& text) -> std::string {
            std::int32_t code = 0;
            if (!ParseStopBitsText(text, false, code)) {
                return "'" + text + "' is not 1, 1.5 or 2";
            }
            text = std::to_string(code);
            return {};
        },
        "", "StopBits");
    AddNumberFlag<std::uint32_t>(app, "--baud", flags.baud, 1, 4000000, "N",
                                 "baud rate (1..4000000)");
    app.add_option("--parity", flags.parity, "NONE, ODD, EVEN, MARK or SPACE")
        ->option_text("P")
        ->transform(parity);
    AddNumberFlag<std::int32_t>(app, "--data-bits", flags.dataBits, 5, 8, "N", "5..8");
    app.add_option("--stop-bits", flags.stopBits, "1, 1.5 or 2")
        ->option_text("S")
        ->transform(stopBits);
}
