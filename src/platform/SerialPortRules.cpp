#include "platform/SerialPortRules.h"

#include <cctype>
#include <climits>
#include <cstddef>

namespace {
// The stop-bit codes of the option record (and of the Windows DCB).
constexpr unsigned kOneAndAHalfStopBits = 1;
constexpr unsigned kTwoStopBits = 2;
}  // namespace

int ComNumberOf(std::string_view name) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) {
        name.remove_prefix(kDevicePrefix.size());
    }
    if (name.size() < 4 || name.size() > 12) {
        return -1;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) {
            return -1;
        }
    }
    long long number = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9') {
            return -1;
        }
        number = number * 10 + (c - '0');
    }
    return number > INT_MAX ? -1 : static_cast<int>(number);
}

bool IsAcceptedFraming(const SerialLineSettings& settings) {
    if (settings.dataBits < 5 || settings.dataBits > 8) {
        return false;
    }
    if (settings.parity > 4 || settings.stopBits > kTwoStopBits) {
        return false;
    }
    if (settings.stopBits == kOneAndAHalfStopBits && settings.dataBits != 5) {
        return false;  // one and a half stop bits exist only with 5 data bits
    }
    if (settings.stopBits == kTwoStopBits && settings.dataBits == 5) {
        return false;  // with 5 data bits the long stop is one and a half
    }
    return true;
}
