#include "engine/EngineShutdown.h"

#include <cstdlib>

#include "platform/Trace.h"

bool CEngineShutdown::WaitForEngine(
    const char* name, const std::function<bool(std::chrono::milliseconds)>& waitUntilEnded) {
    if (waitUntilEnded(m_limit)) {
        return true;
    }
    Trace("[%s][CEngineShutdown::WaitForEngine] ERROR - %s did not end within %lld ms",
          kProgramName, name, static_cast<long long>(m_limit.count()));
    m_bAllEnded = false;
    return false;
}

void CEngineShutdown::EndProgramNow(int exitCode) {
    std::_Exit(exitCode);
}
