#include "platform/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

std::string UserHomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

std::string UserConfigRoot() {
    return EnvironmentValueOr("XDG_CONFIG_HOME", UserHomeFolder() + "/.config");
}

std::string UserRuntimeFolder() {
    std::string folder = EnvironmentValueOr("XDG_RUNTIME_DIR", "");
    if (folder.empty()) {
        folder = "/tmp/tillstream-" + std::to_string(getuid());
        ::mkdir(folder.c_str(), 0700);
    }
    return folder;
}

std::string UserCaptureFolder() {
    std::string home = UserHomeFolder();
    while (!home.empty() && home.back() == '/') {
        home.pop_back();
    }
    std::string folder = home + "/Tillstream";
    // The record holds 255 characters; a home that long is rare enough for a fixed fallback.
    return folder.size() < 256 ? folder : std::string("/tmp/Tillstream");
}
