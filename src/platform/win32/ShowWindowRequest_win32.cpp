// The registered window message, sent to the main window found by its class and title.
#include <windows.h>

#include <string>

#include "platform/ShowWindowRequest.h"
#include "platform/Trace.h"

namespace {
// The one place where a system error of this back end becomes the program's code and text.
int ShowWindowCodeFromSystemCode(DWORD error, std::string& errorText) {
    if (error == ERROR_TIMEOUT || error == ERROR_SUCCESS) {
        errorText = "no answer";  // SendMessageTimeout gives 0 without an error on a timeout too
    } else {
        errorText = "error " + std::to_string(error);
    }
    return kShowWindowFailed;
}
}  // namespace

std::string ShowWindowRequestTarget() {
    return std::string("window \"") + kProgramName + "\" of class " + kMainWindowClassName;
}

int SendShowWindowRequest(long lParam, std::string& answer, int timeoutMs, std::string& errorText) {
    answer.clear();
    const UINT message = RegisterWindowMessageA(kShowWindowRequestName);
    if (message == 0) {
        return ShowWindowCodeFromSystemCode(GetLastError(), errorText);
    }
    const HWND window = FindWindowA(kMainWindowClassName, kProgramName);
    if (window == nullptr) {
        errorText = "no window";
        return kShowWindowNoWindow;
    }
    DWORD_PTR result = 0;
    // A window that hangs is given up at once rather than waited for.
    if (SendMessageTimeoutA(window, message, 0, static_cast<LPARAM>(lParam),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, static_cast<UINT>(timeoutMs),
                            &result) == 0) {
        return ShowWindowCodeFromSystemCode(GetLastError(), errorText);
    }
    answer = std::to_string(static_cast<unsigned long long>(result));
    return kShowWindowRequestOk;
}
