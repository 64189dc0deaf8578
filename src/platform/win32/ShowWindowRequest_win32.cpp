// The registered window message, sent to the main window found by its class and title.
#include <windows.h>

#include <string>

#include "platform/ShowWindowRequest.h"
#include "platform/SystemError.h"
#include "platform/Trace.h"

namespace {
// The result of a request that the system refused or left unanswered, with its reason.
int Refused(std::string& errorText) {
    const SystemError error = LastSystemError();
    // SendMessageTimeout gives 0 without an error on a time-out too.
    if (!error.Failed() || error.kind == SystemErrorKind::kTimedOut) {
        errorText = "no answer";
        return kShowWindowFailed;
    }
    errorText = SystemErrorText(error);
    return ShowWindowResultOf(error);
}
}  // namespace

std::string ShowWindowRequestTarget() {
    return std::string("window \"") + kProgramName + "\" of class " + kMainWindowClassName;
}

int SendShowWindowRequest(long lParam, std::string& answer, int timeoutMs, std::string& errorText) {
    answer.clear();
    const UINT message = RegisterWindowMessageA(kShowWindowRequestName);
    if (message == 0) {
        return Refused(errorText);
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
        return Refused(errorText);
    }
    answer = std::to_string(static_cast<unsigned long long>(result));
    return kShowWindowRequestOk;
}
