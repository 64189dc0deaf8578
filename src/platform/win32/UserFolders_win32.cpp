#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/UserFolders.h"

namespace {
std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? std::string(value) : fallback;
}
}  // namespace

std::string UserHomeFolder() {
    return EnvOr("USERPROFILE", EnvOr("HOMEDRIVE", "C:") + EnvOr("HOMEPATH", "\\"));
}

std::string UserConfigRoot() {
    return EnvOr("APPDATA", UserHomeFolder() + "\\AppData\\Roaming");
}

std::string ProgramSettingsFolder() {
    return UserConfigRoot() + "\\VAZ\\Tillstream";
}

std::string UserRuntimeFolder() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    std::string folder =
        (length > 0 && length < sizeof buffer) ? std::string(buffer, length) : UserHomeFolder();
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

std::string UserCaptureFolder() {
    return "C:\\Tillstream";
}
