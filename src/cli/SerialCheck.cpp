#include "cli/SerialCheck.h"

#include <cstdio>

#include "transport/SerialVocabulary.h"

bool OpenSerialForCli(CSerialPort& port, int nPort, const SerialLineSettings& settings,
                      std::string& message) {
    const std::string name = ComPortName(nPort);
    const std::uint32_t error = port.Open(SerialDevicePath(name));
    if (error == kSerialErrorAccessDenied) {
        message = "Serial Port(" + name + ") is already used by other application.";
        return false;
    }
    if (error != 0) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08x", error);
        message = "Serial Port(" + name + ") open error(" + code + ")";
        return false;
    }
    if (const std::uint32_t refusal = port.Configure(settings); refusal != 0) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08x", refusal);
        message = "Serial Port(" + name + ") refuses the line settings(" + code + ")";
        port.Close();
        return false;
    }
    return true;
}
