#include "cli/SerialCheck.h"

#include <cstdio>

#include "transport/SerialOpenText.h"
#include "transport/SerialVocabulary.h"

bool OpenSerialForCli(CSerialPort& port, int nPort, const SerialLineSettings& settings,
                      std::string& message) {
    const std::string name = ComPortName(nPort);
    if (const std::uint32_t error = port.Open(SerialDevicePath(name)); error != 0) {
        message = SerialOpenFailureText(name, error);
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
