#pragma once
// The kinds of flag value the commands share, declared on a command's CLI11 parser and read
// strictly, unlike the option dialogs: whole numbers in decimal within a range, HOST:PORT, a COM
// port, and the four serial line settings. A value the user mistyped is refused by the parser
// with a message that names the flag. Main thread only; nothing here throws to the caller.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>

// Plain decimal digits (no sign, no spaces, no "0x"); leading zeros are only zeros.
CLI::Validator WholeNumber();

// --NAME N with N a whole number in [nMin, nMax]; `value` holds it when the flag was given.
template <class T>
CLI::Option* AddNumberFlag(CLI::App& app, const std::string& name, std::optional<T>& value, T nMin,
                           T nMax, const std::string& shape, const std::string& description) {
    return app.add_option(name, value, description)
        ->option_text(shape)
        ->transform(WholeNumber())
        ->check(CLI::Range(nMin, nMax));
}

struct Endpoint {
    std::string host;  // a dotted IPv4 address or a name, resolved later
    std::uint16_t port = 0;
};

// --NAME HOST:PORT, or [HOST:]PORT with `bHostOptional` (the host then stays empty).
// PORT is 1..65535, or 0..65535 with `bPortZeroAllowed`.
CLI::Option* AddEndpointFlag(CLI::App& app, const std::string& name, std::optional<Endpoint>& value,
                             bool bHostOptional, bool bPortZeroAllowed, const std::string& shape,
                             const std::string& description);

// --NAME COMn: "COM7", "\\.\COM12" (any letter case) or a bare port number, 0..255.
CLI::Option* AddComPortFlag(CLI::App& app, const std::string& name, std::optional<int>& value,
                            const std::string& description);

// The serial line flags of play and receive: --baud N (1..4000000), --parity NAME|CODE,
// --data-bits 5..8, --stop-bits 1|1.5|2.
struct LineSettingFlags {
    std::optional<std::uint32_t> baud;
    std::optional<std::int32_t> parity;
    std::optional<std::int32_t> dataBits;
    std::optional<std::int32_t> stopBits;

    bool AnyGiven() const { return baud || parity || dataBits || stopBits; }
    // Each flag given replaces the matching value.
    void ApplyTo(std::uint32_t& dwBaudRate, std::int32_t& nParity, std::int32_t& nDataBits,
                 std::int32_t& nStopBits) const;
};

void AddLineSettingFlags(CLI::App& app, LineSettingFlags& flags);
