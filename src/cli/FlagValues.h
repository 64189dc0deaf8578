#pragma once
// Reading the values of command-line flags. These are strict, unlike the option dialogs: a value
// the user mistyped is refused (the command then ends with a usage error before anything is
// opened or sent), so every parser here says whether the whole text was understood.
// Any thread; failures are reported by the result, never by exceptions.
#include <cstdint>
#include <string>

// Decimal digits only (no sign, no spaces), within [nMin, nMax].
bool ParseUnsignedFlag(const std::string& text, std::uint64_t nMin, std::uint64_t nMax,
                       std::uint64_t& value);

// "HOST:PORT", or "[HOST:]PORT" when `bHostOptional` (the host then stays as it was). HOST is a
// dotted IPv4 address or a name (resolved later); PORT is 1..65535, or 0..65535 with
// `bPortZeroAllowed`. False with `error` saying what is wrong.
bool ParseEndpointFlag(const std::string& text, bool bHostOptional, bool bPortZeroAllowed,
                       std::string& host, std::uint16_t& port, std::string& error);

// "COM7", "\\.\COM12" (any letter case) or a bare port number; ports 0..255.
bool ParseComPortFlag(const std::string& text, int& nPort);

class CParsedArgs;

// The serial line flags shared by play and receive (--baud N, --parity NAME|CODE,
// --data-bits 5..8, --stop-bits 1|1.5|2): each one given replaces the matching value. False with
// `error` naming the flag when a value is bad; the values are then unchanged.
bool ApplyLineSettingFlags(const CParsedArgs& parsed, std::uint32_t& dwBaudRate,
                           std::int32_t& nParity, std::int32_t& nDataBits, std::int32_t& nStopBits,
                           std::string& error);
