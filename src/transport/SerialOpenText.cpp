#include "transport/SerialOpenText.h"

#include <cstdio>

#include "platform/SerialPort.h"

std::string SerialOpenFailureText(const std::string& portName, std::uint32_t error) {
    if (error == kSerialErrorAccessDenied) {
        return "Serial Port(" + portName + ") is already used by other application.";
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", error);
    return "Serial Port(" + portName + ") open error(" + code + ")";
}
