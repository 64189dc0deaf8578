#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/UserFolders.h"

std::string UserHomeFolder() {
    return EnvironmentValueOr("USERPROFILE", EnvironmentValueOr("HOMEDRIVE", "C:") +
                                                 EnvironmentValueOr("HOMEPATH", "\\"));
}

std::string UserConfigRoot() {
    return EnvironmentValueOr("APPDATA", UserHomeFolder() + "\\AppData\\Roaming");
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
